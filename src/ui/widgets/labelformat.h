#pragma once
// TLabelFormat: a label that shows a caption written in the program's inline markup
// (ui/markup.h). It behaves like an ordinary text label: it has a font, a caption, an
// automatic size, a transparent mode and an enabled state. Lines break only at line feeds.
#include "ui/markup.h"

#include <QWidget>

class TLabelFormat : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(double fontSizeFaktor READ fontSizeFaktor WRITE setFontSizeFaktor)
    Q_PROPERTY(bool autoSize READ autoSize WRITE setAutoSize)
    Q_PROPERTY(bool transparent READ transparent WRITE setTransparent)

public:
    explicit TLabelFormat(QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    // Parses and lays out the caption; an auto-sized label takes the measured size.
    void setCaption(const QString &caption);

    // The colours of the tags <C1> to <C8>; index 1..8, other indexes are ignored.
    QColor color(int index) const;
    void setColor(int index, const QColor &color);

    // Scale of the label's font size and of every <FS> size (default 1.0).
    double fontSizeFaktor() const { return m_base.FontSizeFaktor; }
    void setFontSizeFaktor(double faktor);

    // On by default: the label takes exactly the measured size of its caption.
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    // Transparent (the default): the parent shows through; otherwise the label fills its
    // background with the window colour.
    bool transparent() const { return !autoFillBackground(); }
    void setTransparent(bool on) { setAutoFillBackground(!on); }

    // The widest line by the sum of the line heights.
    QSize measuredSize() const { return m_measured; }
    const TFormatSegments &segments() const { return m_segments; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void relayout();

    QString m_caption;
    TMarkupBase m_base;
    TFormatSegments m_segments;
    QSize m_measured;
    bool m_autoSize = true;
};
