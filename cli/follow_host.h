// The command line's front end of a followed job: the same as any job's,
// and the quicklooks drawn as the outputs are written rather than at the end.
#pragma once

#include "cli/cli_job_host.h"
#include "section_paint/section_picture.h"

#include <memory>
#include <optional>
#include <string>

namespace tessara::cli
{

/// Following with `quicklooks`, NAME.png beside each output as soon as it is written,
/// and open.png of the open output, redrawn after each input it takes and
/// removed once it has closed. A picture that cannot be drawn is named on
/// stderr and does not fail the job.
class CFollowCliHost : public CCliJobHost
{
public:
    /// `following`: the log is flushed whenever the job waits, so that a
    /// reader sees the files taken as they are.
    CFollowCliHost(std::FILE* log, bool verbose, bool following, bool quicklooks);

    void PumpEvents() override;

    void OutputCompleted(const std::string& path) override;
    [[nodiscard]] bool WantsOpenOutput() const override { return m_quicklooks; }
    void OpenOutputChanged(const std::string& path) override;

private:
    void Draw(const std::string& output, bool announce);

    std::FILE* m_log;
    bool m_following;
    bool m_quicklooks;
    std::optional<CGuiForPainting> m_gui;
    std::string m_openPicture; // drawn and not yet removed
};

} // namespace tessara::cli
