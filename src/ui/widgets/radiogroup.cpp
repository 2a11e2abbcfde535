#include "ui/widgets/radiogroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

TRadioGroup::TRadioGroup(const QString &title, const QStringList &items, int columns,
                         QWidget *parent)
    : QGroupBox(title, parent), m_columns(std::max(1, columns))
{
    m_group = new QButtonGroup(this);
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(6, 2, 6, 4);
    m_grid->setHorizontalSpacing(8);
    m_grid->setVerticalSpacing(2);
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !m_setting)
            Q_EMIT itemIndexChanged(id);
    });
    setItems(items);
}

void TRadioGroup::setItems(const QStringList &items)
{
    m_items = items;
    rebuild();
}

void TRadioGroup::rebuild()
{
    for (QAbstractButton *b : m_group->buttons()) {
        m_group->removeButton(b);
        delete b;
    }
    const int rows = (int(m_items.size()) + m_columns - 1) / m_columns;
    for (int i = 0; i < m_items.size(); ++i) {
        auto *b = new QRadioButton(m_items[i], this);
        m_group->addButton(b, i);
        // Items run down the first column, then down the next.
        m_grid->addWidget(b, i % std::max(1, rows), i / std::max(1, rows));
    }
}

int TRadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

void TRadioGroup::setItemIndex(int index)
{
    if (index == itemIndex())
        return;
    m_setting = true;
    if (QAbstractButton *b = m_group->button(index)) {
        b->setChecked(true);
    } else if (QAbstractButton *checked = m_group->checkedButton()) {
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
    }
    m_setting = false;
    Q_EMIT itemIndexChanged(itemIndex());
}

QRadioButton *TRadioGroup::button(int index) const
{
    return qobject_cast<QRadioButton *>(m_group->button(index));
}
