#include "ui/widgets/aboutbox.h"

#include "ui/appinfo.h"
#include "ui/programicon.h"
#include "ui/versioninfo.h"
#include "ui/widgets/labelformat.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

QFont arial(int pixels, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QLabel *centredLabel(QWidget *parent, const char *name, const QString &text, const QFont &font,
                     const QColor &colour)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent) : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(322, 368);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setAutoFillBackground(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, QColor(0xd2, 0xff, 0xff));
    Panel1->setPalette(pal);
    outer->addWidget(Panel1);

    auto *column = new QVBoxLayout(Panel1);
    column->setContentsMargins(6, 0, 6, 6);
    column->setSpacing(4);

    Label1 = new QLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFixedHeight(20);
    column->addWidget(Label1);

    Comments =
        centredLabel(Panel1, "Comments", appinfo::applicationTitle(), arial(24, true), Qt::red);
    column->addWidget(Comments);

    // The version line with the program icon to its left.
    auto *versionRow = new QHBoxLayout;
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(QPixmap::fromImage(ProgramIconImage(32)));
    ProgramIcon->setFixedSize(32, 32);
    LabelVersion = centredLabel(Panel1, "LabelVersion", AboutVersionText(TVersionInfoFile()),
                                arial(13, true), Qt::blue);
    versionRow->addWidget(ProgramIcon);
    versionRow->addWidget(LabelVersion, 1);
    versionRow->addSpacing(32);
    column->addLayout(versionRow);

    QFont copyrightFont = font();
    copyrightFont.setPixelSize(19);
    copyrightFont.setBold(true);
    Copyright = centredLabel(Panel1, "Copyright", TVersionInfoFile().GetField(1), copyrightFont,
                             QColor(0x00, 0x40, 0x80));
    Copyright->setWordWrap(true);
    column->addWidget(Copyright);

    Label2 = new TLabelFormat(Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(arial(13, false));
    Label2->setAutoSize(false);
    Label2->setFixedHeight(50);
    Label2->setCaption(appinfo::contactText());
    column->addWidget(Label2);

    LabelFormatDanke = new TLabelFormat(Panel1);
    LabelFormatDanke->setObjectName(QStringLiteral("LabelFormatDanke"));
    LabelFormatDanke->setFont(arial(11, false));
    LabelFormatDanke->setAutoSize(false);
    LabelFormatDanke->setCaption(appinfo::acknowledgementsText());
    column->addWidget(LabelFormatDanke, 1);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->frameGeometry().center() - rect().center());
}

void TAboutBox::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    close();
}
