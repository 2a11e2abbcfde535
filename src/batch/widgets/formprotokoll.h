#pragma once
// The log window "Log": shows the job log (TProtokoll), one coloured line per paragraph,
// without word wrap; "File" > "Save as..." saves it as Rich Text Format, "Exit" hides the
// window. Created once at start-up and only shown and hidden.
#include <QMainWindow>

class QAction;
class QTextEdit;
class TProtokoll;
struct TProtokollLine;

class TFormProtokoll : public QMainWindow
{
    Q_OBJECT
public:
    explicit TFormProtokoll(TProtokoll &log, QWidget *parent = nullptr);

    // Saves the log as RTF to path, replacing a file of that name; false (and a message
    // box) when it cannot be written.
    bool SaveAs(const QString &path);

    QTextEdit *RichEdit1 = nullptr;
    QAction *ActionSaveAs = nullptr;
    QAction *ActionExit = nullptr;

private:
    void appendLine(int index);
    void rebuild();
    void writeLine(const TProtokollLine &line);
    void saveAsExecute();

    TProtokoll &m_log;
};
