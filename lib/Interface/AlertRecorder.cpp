#include "Interface/AlertRecorder.h"

namespace vantorix {

AlertRecorder::AlertRecorder(bool defaultAnswer) : m_defaultAnswer(defaultAnswer)
{
    m_previous = Alert::setResponder([this](const Alert::Request& request) { return respond(request); });
}

AlertRecorder::~AlertRecorder()
{
    Alert::setResponder(std::move(m_previous));
}

bool AlertRecorder::respond(const Alert::Request& request)
{
    m_boxes.push_back(request);
    if (request.kind != Alert::confirm)
        return true;
    return m_answers.isEmpty() ? m_defaultAnswer : m_answers.takeFirst();
}

} // namespace vantorix
