#include "segy_file.h"

#include <unistd.h>

namespace tessara
{

CSegyFile::CSegyFile() : tapeHeader(std::make_unique<SegyTapeHeaderType>()) {}

CSegyFile::~CSegyFile()
{
    if (m_fd >= 0)
        (void)::close(m_fd); // derived Close has run; this only guards a leak
}

} // namespace tessara
