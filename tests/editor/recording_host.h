#pragma once

#include "editor/editor_session.h"

#include <string>
#include <vector>

namespace kestrow::test {

/// What the session tells its window.
struct RecordingHost : SessionHost {
    void setCaption(const std::string&) override { }
    void refreshKnobTable(int) override { }
    void deviceSettingsChanged() override { }
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    void deviceWorkRunning(bool running) override { workRunning.push_back(running); }
    void deviceWorkReport(
        const std::string& title, const std::string& text, const SyncReport&) override
    {
        reports.push_back(title + ": " + text);
    }
    void portListsChanged() override { ++listChanges; }
    void journalFailed(const FileResult& result) override
    {
        journal.push_back(result ? "ok" : result.file + ": " + result.reason);
    }

    std::vector<std::string> statuses;
    std::vector<bool> workRunning;
    std::vector<std::string> reports;
    int listChanges = 0;
    std::vector<std::string> journal; ///< each journal failure, and "ok" once it works again
};

} // namespace kestrow::test
