#pragma once

#include <QString>

#include <filesystem>
#include <functional>

class QWidget;

namespace halvane {

inline constexpr char kNewProjectCaption[] = "New project";

// How a start stands with its data root's project.
enum class ProjectStart {
    Ready,   // there is a project (there was, or one was just made)
    Missing, // none, and none was made: the start goes on as without a project
    Failed,  // making one failed, and the user was told why
};

// On a data root without a project: makes one there when `create` says so (--new-project),
// else asks "There is no project in DIR. Create a new project there?", whose default answer
// is No (so where nobody can answer, the start goes on as without a project). In run-time
// mode (`runtime`) nobody is asked; stderr names the path.
ProjectStart PrepareProject(const std::filesystem::path& root, bool create, bool runtime,
                            const std::filesystem::path& programFolder, QWidget* parent);

// "File" > "New project...": asks for a folder, makes a project there and starts a station
// on it, since a station keeps to its own data root. Says what it did or why it did not.
class NewProjectCommand final {
public:
    using FolderQuestion = std::function<QString(QWidget* parent)>;
    using StationStarter = std::function<bool(const std::filesystem::path& root)>;

    static void Run(QWidget* parent, const std::filesystem::path& programFolder);

    // Tests answer the folder question and start no station.
    static void SetFolderQuestion(FolderQuestion question);
    static void SetStationStarter(StationStarter starter);
};

} // namespace halvane
