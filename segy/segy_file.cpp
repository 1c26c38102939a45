#include "segy_file.h"

namespace tessara
{

CSegyFile::CSegyFile() : tapeHeader(std::make_unique<SegyTapeHeaderType>()) {}

CSegyFile::~CSegyFile()
{
    if (m_file != nullptr)
        (void)std::fclose(m_file); // derived Close has run; this only guards a leak
}

} // namespace tessara
