// The front end of every job test: records everything the job tells it and
// plays the user through hooks and a scripted stop request.
#pragma once

#include "combine/api/job_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessara::test
{

/// Fails the test on any message box it was not told to expect (in a child
/// process that failure is lost: check `messages` there).
class CRecordingHost : public IJobHost
{
public:
    void ClearLog() override
    {
        log.clear();
        ++clears;
    }
    void AppendLog(std::string_view text) override { log += text; }
    [[nodiscard]] bool IsLogVisible() const override { return logVisible; }
    void SetStatus(std::string_view text) override
    {
        statuses.emplace_back(text);
        if (onStatus)
            onStatus(text);
    }
    /// The status line as the front end shows it now.
    [[nodiscard]] std::string Status() const
    {
        return statuses.empty() ? std::string() : statuses.back();
    }
    void PumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump();
    }
    void Progress(const JobProgress& p) override { progress.push_back(p); }
    void ShowMessage(std::string_view text) override
    {
        messages.emplace_back(text);
        if (std::find(expectedMessages.begin(), expectedMessages.end(), text) ==
            expectedMessages.end())
            ADD_FAILURE() << "unexpected message: " << text;
    }
    [[nodiscard]] bool StopRequested() const override
    {
        ++stopChecks;
        return stop || (stopAfterChecks >= 0 && stopChecks > stopAfterChecks);
    }
    void SetInputOrder(const std::vector<std::string>& paths) override { orders.push_back(paths); }

    void ChartBegin(std::string_view title) override
    {
        chartTitle = title;
        chartFixes.clear();
        ++chartBegins;
    }
    void ChartAddFix(std::int64_t ticks, double speedMps, double spacingM) override
    {
        chartFixes.push_back({ticks, speedMps, spacingM});
    }
    void ChartSetSpacing(std::int64_t fromTicks,
                         std::int64_t toTicks,
                         double spacingM,
                         std::string_view titleSuffix) override
    {
        spacingLine = {fromTicks, toTicks, spacingM};
        chartTitle += titleSuffix;
    }
    void ChartEnd() override { ++chartEnds; }

    std::string log;
    int clears = 0;
    bool logVisible = false;
    std::vector<std::string> statuses;
    std::function<void(std::string_view)> onStatus; ///< after each status is recorded
    int pumps = 0;
    std::function<void()> onPump; ///< the user's doing while the job lets the front end run
    std::vector<JobProgress> progress;
    std::vector<std::string> messages;
    std::vector<std::string> expectedMessages;
    std::vector<std::vector<std::string>> orders;
    bool stop = false;          ///< the user's stop request, as the job will see it
    int stopAfterChecks = -1;   ///< >= 0: the job is asked to stop after this many checks
    mutable int stopChecks = 0; ///< how often the job asked

    struct Fix {
        std::int64_t ticks;
        double speedMps;
        double spacingM;
    };
    struct SpacingLine {
        std::int64_t fromTicks;
        std::int64_t toTicks;
        double spacingM;
    };
    std::string chartTitle;
    std::vector<Fix> chartFixes;
    SpacingLine spacingLine{0, 0, 0};
    int chartBegins = 0;
    int chartEnds = 0;
};

} // namespace tessara::test
