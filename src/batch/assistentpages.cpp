// The titles and descriptions of the wizard's pages (markup texts). A description follows
// the page's chosen radio button; check pages show what their last check found.
#include "batch/assistent.h"
#include "batch/stereooutputjob.h"

namespace {

const char kRunTitle[] = "<FB><FS12><C4>Batch Job will be executed<LF><FN> <LF> <LF> <C7><FS18>"
                         "<FB> <LF><c>Please wait! <FN> ";
const char kRunDescription[] =
    "Push button labeled <c4>\"Show Details...\"<FN> <LF> in order to see a log file of all "
    "the <LF>program's activities during the last <c5>Batch Job<c5> <LF> <LF><c4><FB>Hint:<FN>"
    "<LF>You can save the log file in order to track where your <LF>original files have been "
    "copied or moved <LF>alongside with changes made to the file's name.";

const char kSaveHint[] =
    "<c4><FB>Hint:<FN> <LF>It is recommended to save the log file in order to<LF>trace the "
    "destination of the processed images and their new<LF>filenames. When making copies of the "
    "source images only, the log file keeps<LF>track of the relation between the original and "
    "processed images.<LF>";

QString rotationTitle(const char *where, int count, int unrotatable)
{
    QString title =
        FormatLogText(QStringLiteral("<FB><FS12><C4>Rotate JPG files in %s folder<LF><FN> "
                                     "<LF>%d JPG files have been marked for rotation<LF>Do "
                                     "you want to perform this (lossless) rotation?<LF>"),
                      {QLatin1String(where), count});
    // Lossless rotation is a JPEG operation: say before the run which files it leaves alone.
    if (unrotatable > 0)
        title += FormatLogText(QStringLiteral("<LF><C3>%d of these files are not JPEG files<FN> "
                                              "(HEIC, RAW, PNG, TIFF...)<LF>and will not be "
                                              "rotated; the log names each of them.<LF>"),
                               {unrotatable});
    return title;
}

// What the confirmation says of the stereo files the job writes for its pairs.
QString stereoOutputLines(const TStereoOutputSettings *s, int count, bool touchesFiles)
{
    if (!s || s->Outputs.isEmpty())
        return QString();
    QStringList labels;
    for (TStereoOutput output : s->Outputs)
        labels << StereoOutputInfo(output).Label;
    if (count > 0)
        return FormatLogText(QStringLiteral("<LF> <LF>%d stereo files (%s) will be written "
                                            "to<LF>%s"),
                             {count, labels.join(QStringLiteral(", ")), s->Folder});
    return touchesFiles ? QStringLiteral("<LF> <LF><c7>No stereo files will be written: the job "
                                         "has no stereo pair to make them of.<FN>")
                        : QStringLiteral("<LF> <LF><c7>No stereo files will be written: only a "
                                         "job that renames, copies or moves<LF>the pictures "
                                         "writes them.<FN>");
}

} // namespace

QString TAssistentController::Title(int page) const
{
    switch (page) {
    case pgSpeicherort:
        return QStringLiteral("<FB><FS12><C4>Destination folder<LF><FN> <LF>How to process "
                              "images marked with <c5>\"Exclude from Batch Job\"<FN> ");
    case pgChkDirectory:
        return m_folders.Title();
    case pgRenameSource:
        return QStringLiteral("<FB><FS12><C4>Rename source images<LF><FN> <LF>Do you want to "
                              "rename the original images?");
    case pg1zuNSource:
        return FormatLogText(
            QStringLiteral("<FB><FS12><C4>Resolve conflict<LF><FN> <LF>%d images were added "
                           "multiply to the list or were result of <LF>the function labeled as "
                           "<c5>\"Combinations\"<FN> <LF>Those images were assigned to more than "
                           "one single stereo pair!<LF> <LF>Should multiply assigned images get "
                           "created in the source folder?<LF>"),
            {m_sharedCount});
    case pgRenameDest:
        return QStringLiteral("<FB><FS12><C4>Rename in destination folder?<LF><FN> <LF>Do you "
                              "want to rename images in destination folder?");
    case pgDrehenScr:
        return rotationTitle("source", m_rotationCount, m_unrotatableCount);
    case pgDrehenDst:
        return rotationTitle("destination", m_rotationCount, m_unrotatableCount);
    case pgBestAuftrag: {
        QString title =
            QStringLiteral("<FB><FS12><C4>Confirmation of Batch Job<LF><FN> <LF> <LF> <C5>"
                           "<FS18><FB> <LF><c>Batch job can be executed!<FN>");
        if (m_names.PartnersNamedApart > 0)
            title += FormatLogText(
                QStringLiteral("<LF> <LF><c7>%d stereo pairs get different names left "
                               "and right (listed in the log).<FN>"),
                {m_names.PartnersNamedApart});
        if (m_stereoCount > 0 && (HasCode(acCopy) || HasCode(acMove)))
            title += FormatLogText(
                QStringLiteral("<LF> <LF>%d stereo files will be split into left and right "
                               "view files."),
                {m_stereoCount});
        else if (m_stereoCount > 0)
            title += FormatLogText(
                QStringLiteral("<LF> <LF>%d stereo files stay as they are (only a copy or "
                               "move job splits them)."),
                {m_stereoCount});
        return title +
               stereoOutputLines(m_context.StereoOutputs, m_stereoOutputCount,
                                 HasCode(acCopy) || HasCode(acMove) || HasCode(acRenameSource));
    }
    case pgChkDstSpace:
        return SpaceCheckTitle(m_space);
    case pgSpmListe:
        return QStringLiteral("<FB><FS12><C4>Create SPM List file<LF><FN> <LF>Do you want to "
                              "create SPM compatible list file?");
    case pgChkNamen:
        return m_names.Title;
    case pgStereoOutputs:
        return QStringLiteral("<FB><FS12><C4>Stereo files<LF><FN> <LF>Which stereo files "
                              "should be made of every stereo pair?");
    case pgRun:
        return QLatin1String(kRunTitle);
    case pgAuftragSucc:
        return QStringLiteral("<FB><FS12><C5>Batch Job successfully executed<LF><FN> <LF> <LF> ");
    case pgAuftragError:
        return QStringLiteral("<FB><FS12><C3>Batch Job was incomplete!<LF><FN> <LF> <LF> ");
    default:
        return QString();
    }
}

QString TAssistentController::Description(int page) const
{
    const int choice = Choice(page);
    switch (page) {
    case pgSpeicherort:
        if (choice == 2)
            return QStringLiteral(
                "All selected entries that are marked for<c5>Copy/Move to destination "
                "directory<FN> <LF>will get moved to the destination folder and eventually "
                "renamed. Original files <LF>will no longer be available.");
        if (choice == 3)
            return QStringLiteral(
                "All selected entries that are marked for <c5>Copy/Move to destination "
                "directory<FN> <LF>will only get copied to the destination folder. Originals "
                "files will stay untouched.");
        return QStringLiteral("All images remain at their current place; <LF>nothing will be "
                              "copied or moved");
    case pgChkDirectory:
        return FolderCheckDescription(choice == 2);
    case pgRenameSource:
        return choice == 2 ? QStringLiteral("All images remaining in source folder will be renamed")
                           : QStringLiteral("Images in source folder will not be renamed.");
    case pg1zuNSource:
        if (choice == 2)
            return QStringLiteral(
                "Missing stereo pair partners will not get replaced in source folder<LF>Multiple "
                "assigned images receive their respective name<LF>by any of it's assigned "
                "neighboring pairs<LF> <LF>This option proved to be helpful in conjunction with "
                "the SPM compatible list file:<LF>No additional disk space is required for the "
                "source folder.");
        return QStringLiteral(
                   "Missing stereo pair image partners will get replaced <LF>in the source "
                   "folder and receive the name of the <LF>stereo pair's existing partner.<LF> "
                   "<LF>In result to this all stereo pairs in the source folder become "
                   "complete.<LF>Beware: additional disk space for the source folder is "
                   "required!<LF>  <LF>Disk space on:<LF><T3>Drive<T12>additional<T22>remaining"
                   "<LF>") +
               m_shared.Report(QStringLiteral("<T3>%s<T12>%s<T22>%s<FB> %s"));
    case pgRenameDest:
        return choice == 2 ? QStringLiteral("Rename images copied to destination folder")
                           : QStringLiteral("Images in source folder will not be renamed.");
    case pgDrehenScr:
        return choice == 2 ? QStringLiteral("Rotate JPG images in source folder (lossless)")
                           : QStringLiteral("Don't rotate images in source folder");
    case pgDrehenDst:
        return choice == 2 ? QStringLiteral("Rotate images in destination folder (lossless)")
                           : QStringLiteral("Don't rotate images in destination folder");
    case pgBestAuftrag:
        return QStringLiteral(
            "<FB>At this point you still have the opporunity to change<LF>your "
            "settings!<FN><LF><LF>-<T1>Go back by pushing the button labeled <c5>\"Back\"<FN>"
            "<LF>-<T1>Or cancel the Batch Job assistant with the button labeled <LF><T1><c5>"
            "\"Cancel\"<FN> to start from scratch<FN><LF>-<T1>Hit the button labeled <c5>"
            "\"Finish\"<FN> if the settings previously <LF><T1>made meet your goal.<FN><LF>");
    case pgChkDstSpace:
        return SpaceCheckDescription();
    case pgSpmListe:
        if (choice == 2)
            return QStringLiteral("Don't create SPM compatible list file <LF>");
        return QStringLiteral(
            "A StereoPhotoMaker (SPM) compatible list file will be created.<LF>Any stereo pair "
            "will be part of this list, except for those, where at<LF>least one of the pair's "
            "images is marked with <c5>\"Exclude from Batch Job\"<FN><LF>Such pairs are not "
            "included in the list.<LF>Such SPM compatible list files can be used with SPM to "
            "execute<LF>a SPM batch job or run a slide show with.<LF> <LF>Use input field and "
            "button below to choose destination folder and <LF>filename of the list file!<LF>");
    case pgChkNamen:
        return m_names.Description;
    case pgStereoOutputs:
        return QStringLiteral(
            "Every chosen kind of file is made of each stereo pair of the job, named<LF>"
            "after the pair's new name, in the <c5>Stereo<FN> folder chosen above.<LF> <LF>"
            "<FB>MPO<FN> joins both JPEG files without re-encoding (stereo cameras,<LF>"
            "viewers); side by side suits VR headsets and phones, the half<LF>"
            "formats 3D TVs; the anaglyphs need red/cyan glasses.<LF> <LF>"
            "A job that neither renames, copies nor moves the pictures writes none.<LF>"
            "No kind chosen: no stereo files.");
    case pgRun:
        return QLatin1String(kRunDescription);
    case pgAuftragSucc:
        return QStringLiteral("<c4><FB>Caution<FN><LF>Push button (above) <c5>'Show "
                              "Details'<FN>in order to<LF>view log file on recent disk space "
                              "operations.<LF> ") +
               QLatin1String(kSaveHint);
    case pgAuftragError:
        return QStringLiteral(
                   "<c4><FB>Caution<FN><LF>Push button (above) <c5>'Show Details'<FN>in order "
                   "to<LF>view log file on recent disk space operations.<LF>Any scheduled "
                   "operations that were eventually skipped are noted in this log file.<LF>If "
                   "so, avoid it's cause and execute the Batch Job again!<LF><c4><FB>Hint:<FN>"
                   "<LF>Check for file system permissions of directories, files and disk "
                   "drives.<LF>Eventually you need to change folders or disk drives<LF>or adjust "
                   "options of the Batch Job assistant.<LF>") +
               QString::fromLatin1(kSaveHint).replace(QStringLiteral("<FN> <LF>It"),
                                                      QStringLiteral("<FN><LF>It"));
    default:
        return QString();
    }
}
