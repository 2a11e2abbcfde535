#pragma once
// TAboutBox ("Info"): a small borderless window with the program's name, its version from
// the compiled-in version record, the copyright line, two contact lines and the
// acknowledgements. It is centred on the window that owns it each time it is shown and
// closes on a click anywhere on it.
#include <QWidget>

class QFrame;
class QLabel;
class TLabelFormat;

class TAboutBox : public QWidget
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;       // spacer
    QLabel *Comments = nullptr;     // "Duomira"
    QLabel *ProgramIcon = nullptr;  // left of the version line
    QLabel *LabelVersion = nullptr; // "Version: 1.0 0.0"
    QLabel *Copyright = nullptr;
    TLabelFormat *Label2 = nullptr; // contact lines
    TLabelFormat *LabelFormatDanke = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};
