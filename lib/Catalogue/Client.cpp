#include "Catalogue/Client.h"

#include "Serialise/XMLDateTime.h"
#include "Serialise/XMLEncryptedString.h"

namespace vantorix {

namespace {
const char* const childTags[] = {"edited", "name", "email", "password", "currency", "message"};
}

const char* const Client::tag = "client";

Client::~Client() = default;

bool Client::change(String& field, const String& value)
{
    if (field == value)
        return false;
    field = value;
    markEditTime();
    return true;
}

void Client::setName(const String& name)
{
    change(m_name, name);
}

void Client::setEmail(const String& email)
{
    change(m_email, email);
}

void Client::setPassword(const String& password)
{
    change(m_password, password);
}

void Client::setCurrency(const String& currency)
{
    change(m_currency, currency);
}

void Client::setMessage(const String& message)
{
    change(m_message, message);
}

void Client::markEditTime()
{
    m_edited = Time(true);
}

bool Client::merge(const Client& other, bool force)
{
    if (!force && !(m_edited < other.m_edited))
        return false;
    *this = other;
    return true;
}

ShippingPtr Client::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return std::make_unique<XMLDateTime>(m_edited, childTags[0], true);
    case 1: return ship(m_name, childTags[1]);
    case 2: return ship(m_email, childTags[2]);
    case 3: return std::make_unique<XMLEncryptedString>(m_password, childTags[3]);
    case 4: return shipIf(!m_currency.empty(), m_currency, childTags[4]);
    case 5: return shipIf(!m_message.empty(), m_message, childTags[5]);
    default: return nullptr;
    }
}

ShippingPtr Client::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 6);
}

void Client::setDefault()
{
    m_edited = Time(false);
    m_name.clear();
    m_email.clear();
    m_password.clear();
    m_currency.clear();
    m_message.clear();
}

} // namespace vantorix
