#include "ProjectStart.h"

#include "HelpFile.h"
#include "MessageBox.h"
#include "NewProject.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QProcess>

#include <cstdio>

namespace halvane {

namespace {

QString Native(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

bool MakeProject(const std::filesystem::path& root, const std::filesystem::path& programFolder,
                 QWidget* parent) {
    const std::string refusal = MakeNewProject(root, FindStarterGallery(programFolder));
    if (refusal.empty())
        return true;
    MessageBox::Error(parent, kNewProjectCaption, QString::fromStdString(refusal));
    return false;
}

QString AskFolder(QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, QObject::tr("Folder of the new project"));
}

bool StartStation(const std::filesystem::path& root) {
    return QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                   {"--data-root", Native(root)});
}

NewProjectCommand::FolderQuestion g_folderQuestion = AskFolder;
NewProjectCommand::StationStarter g_stationStarter = StartStation;

} // namespace

ProjectStart PrepareProject(const std::filesystem::path& root, bool create, bool runtime,
                            const std::filesystem::path& programFolder, QWidget* parent) {
    if (HoldsProject(root))
        return ProjectStart::Ready;
    if (runtime && !create) {
        std::fprintf(stderr, "halvane: there is no project in %s (no cfg/config.cfg)\n",
                     root.string().c_str());
        return ProjectStart::Missing;
    }
    if (!create) {
        const QString question =
            QObject::tr("There is no project in %1. Create a new project there?").arg(Native(root));
        if (MessageBox::Show(parent, QMessageBox::Question, kNewProjectCaption, question,
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes)
            return ProjectStart::Missing;
    }
    return MakeProject(root, programFolder, parent) ? ProjectStart::Ready : ProjectStart::Failed;
}

void NewProjectCommand::Run(QWidget* parent, const std::filesystem::path& programFolder) {
    const QString folder = g_folderQuestion(parent);
    if (folder.isEmpty())
        return;
    const std::filesystem::path root = folder.toStdString();
    if (!MakeProject(root, programFolder, parent))
        return;
    if (!g_stationStarter(root)) {
        MessageBox::Error(parent, kNewProjectCaption,
                          QObject::tr("The new project in %1 is made, but no station could be "
                                      "started on it.")
                              .arg(folder));
        return;
    }
    MessageBox::Show(parent, QMessageBox::Information, kNewProjectCaption,
                     QObject::tr("The new project in %1 is made and opens in a station of its "
                                 "own.")
                         .arg(folder));
}

void NewProjectCommand::SetFolderQuestion(FolderQuestion question) {
    g_folderQuestion = question ? std::move(question) : AskFolder;
}

void NewProjectCommand::SetStationStarter(StationStarter starter) {
    g_stationStarter = starter ? std::move(starter) : StartStation;
}

} // namespace halvane
