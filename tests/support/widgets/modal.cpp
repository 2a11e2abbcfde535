#include "support/widgets/modal.h"

#include "ui/dlgbox.h"
#include "ui/widgets/formdlgbox.h"
#include "ui/widgets/labelformat.h"

#include <QPushButton>

void answerNextBox(int answer, QString *seen, int limitMs)
{
    whenModalOpens<TFormDlgBox>(
        [answer, seen](TFormDlgBox *box) {
            if (seen)
                *seen = box->messageLabel()->caption();
            QString caption;
            for (const DlgButtonInfo &info : DlgButtonTable)
                if (info.Result == answer)
                    caption = QString::fromLatin1(info.Caption);
            for (QPushButton *b : box->buttons()) {
                if (b->text() == caption) {
                    b->click();
                    return;
                }
            }
            ADD_FAILURE() << "the box has no button answering " << answer;
            box->reject();
        },
        nullptr, limitMs);
}
