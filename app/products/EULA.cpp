#include "EULA.h"

#include "Utility/DataBufferOut.h"

using namespace vantorix;

namespace installer {

const char* const EULA::tag = "eula";
const char* const EULAMap::tag = "eulaMap";

EULA::EULA(const String& url) : DownloadedRecord(url, "text") {}

EULA::~EULA() = default;

String EULA::getText()
{
    if (m_content.empty()) {
        if (const MemoryBlock* bytes = downloaded()) {
            DataBufferOut out(&m_content);
            out.write(bytes->get());
            out.flush();
        }
    }
    return m_content;
}

EULAMap::~EULAMap() = default;

} // namespace installer
