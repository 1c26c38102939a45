#include "cli/follow_host.h"

#include "cli/section_image.h"

#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

namespace tessara::cli
{

CFollowCliHost::CFollowCliHost(std::FILE* log, bool verbose, bool following, bool quicklooks)
    : CCliJobHost(log, verbose), m_log(log), m_following(following),
      m_quicklooks(following && quicklooks)
{
    if (m_quicklooks)
        m_gui.emplace();
}

void CFollowCliHost::PumpEvents()
{
    if (m_following)
        (void)std::fflush(m_log); // a failure shows at the log's close
}

void CFollowCliHost::Draw(const std::string& output, bool announce)
{
    // The pictures are drawn while the job's own stop handling holds the
    // signals: a stop is seen by the job after the picture, not by it.
    std::string error;
    EndProgressLine();
    const std::string picture = QuicklookPath(output);
    try {
        const QImage image =
            SectionImage(output, SectionOptions{}, PictureSize{}, SectionLook{}, error);
        if (!image.isNull() && SavePng(image, picture, error)) {
            if (announce)
                std::cout << "Quicklook: " << picture << std::endl;
            return;
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    std::cerr << "tessara-cli: " << picture << ": quicklook not written: " << error << '\n';
}

void CFollowCliHost::OutputCompleted(const std::string& path)
{
    if (m_quicklooks)
        Draw(path, true);
}

void CFollowCliHost::OpenOutputChanged(const std::string& path)
{
    if (!m_quicklooks)
        return;
    if (path.empty()) {
        std::error_code ec;
        if (!m_openPicture.empty())
            std::filesystem::remove(m_openPicture, ec);
        m_openPicture.clear();
        return;
    }
    Draw(path, false);
    m_openPicture = QuicklookPath(path);
}

} // namespace tessara::cli
