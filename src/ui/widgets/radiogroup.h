#pragma once
// TRadioGroup: a titled group of radio buttons laid out in columns, addressed by item
// index, like the option groups of the main window ("Rotation", "Rotation (Clockwise)").
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class TRadioGroup : public QGroupBox
{
    Q_OBJECT
    // The settings file saves and restores a radio group through these two properties.
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex NOTIFY itemIndexChanged)

public:
    TRadioGroup(const QString &title, const QStringList &items, int columns = 1,
                QWidget *parent = nullptr);

    QStringList items() const { return m_items; }
    // Replaces the buttons; no item is selected afterwards.
    void setItems(const QStringList &items);

    // The selected item, -1 for none.
    int itemIndex() const;
    // Selects the item (-1: none). Emits itemIndexChanged when the selection changes.
    void setItemIndex(int index);

    QRadioButton *button(int index) const;

Q_SIGNALS:
    // The selected item changed, by the user or in code.
    void itemIndexChanged(int index);

private:
    void rebuild();

    QStringList m_items;
    int m_columns;
    QButtonGroup *m_group = nullptr;
    QGridLayout *m_grid = nullptr;
    bool m_setting = false;
};
