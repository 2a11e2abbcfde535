#include "batch/widgets/formprotokoll.h"

#include "batch/fileops.h"
#include "batch/protokoll.h"
#include "batch/rtfwriter.h"
#include "ui/markup.h"
#include "ui/widgets/formdlgbox.h"

#include <QFileDialog>
#include <QMenuBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

TFormProtokoll::TFormProtokoll(TProtokoll &log, QWidget *parent) : QMainWindow(parent), m_log(log)
{
    setObjectName(QStringLiteral("FormProtokoll"));
    setWindowTitle(QStringLiteral("Log"));
    resize(720, 480);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setCentralWidget(RichEdit1);

    ActionSaveAs = new QAction(QStringLiteral("Save as..."), this);
    ActionSaveAs->setObjectName(QStringLiteral("ActionSaveAs"));
    ActionExit = new QAction(QStringLiteral("Exit"), this);
    ActionExit->setObjectName(QStringLiteral("ActionExit"));
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    file->addAction(ActionSaveAs);
    file->addSeparator();
    file->addAction(ActionExit);

    connect(ActionSaveAs, &QAction::triggered, this, &TFormProtokoll::saveAsExecute);
    connect(ActionExit, &QAction::triggered, this, &QWidget::hide);
    connect(&m_log, &TProtokoll::lineAdded, this, &TFormProtokoll::appendLine);
    connect(&m_log, &TProtokoll::contentsReset, this, &TFormProtokoll::rebuild);
    rebuild();
}

void TFormProtokoll::writeLine(const TProtokollLine &line)
{
    QTextCursor cursor(RichEdit1->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(line.Color);
    format.setFontWeight(line.Style == LogStyle::Bold ? QFont::Bold : QFont::Normal);
    if (!RichEdit1->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(line.Text, format);
}

void TFormProtokoll::appendLine(int index)
{
    if (index < 0 || index >= m_log.Lines().size())
        return;
    // The first line of an empty document goes into its one existing block.
    if (index == 0)
        RichEdit1->clear();
    writeLine(m_log.Lines().at(index));
    QScrollBar *bar = RichEdit1->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TFormProtokoll::rebuild()
{
    RichEdit1->clear();
    for (const TProtokollLine &line : m_log.Lines())
        writeLine(line);
}

bool TFormProtokoll::SaveAs(const QString &path)
{
    TRealFileOps ops;
    const TFileOpResult written = ops.WriteFileReplacing(path, ProtokollToRtf(m_log.Lines()));
    if (!written.ok) {
        ShowDlgBox(QStringLiteral("<FB>The log could not be saved<FN><LF>%1<LF>%2")
                       .arg(MarkupLiteral(path), MarkupLiteral(written.reason)),
                   DlgKind::Error, DlgButton::OK, this);
        return false;
    }
    return true;
}

void TFormProtokoll::saveAsExecute()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("RTF (*.RTF *.rtf)"));
    dialog.setDefaultSuffix(QStringLiteral("RTF"));
    // The question before replacing a file comes from the dialog itself.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    SaveAs(dialog.selectedFiles().constFirst());
}
