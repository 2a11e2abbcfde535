#pragma once
// The small image list of the two list views: pictures of one size, addressed by index.
// The widgets show them as icons; the holders fill it on demand (TDsOrgBild::GetImageIndex)
// when a view draws a row.
//
// The list holds at most Capacity() pictures (about 48 MB of icons, at least 256 of them):
// scrolling through tens of thousands of rows must not keep an icon for every row. When
// it is full, Add gives the place of the picture used least recently to the new one. Each
// picture carries the owner its adder named, so that a holder can tell whether the place
// it remembers still holds its icon (OwnerOf).
#include <QImage>
#include <QList>
#include <QtGlobal>

#include <algorithm>
#include <vector>

class TImageList
{
public:
    explicit TImageList(int width = 16, int height = 16) : m_width(width), m_height(height) {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return int(m_images.size()); }
    int Capacity() const
    {
        if (m_capacity > 0)
            return m_capacity;
        const qint64 bytes = std::max<qint64>(1, qint64(m_width) * m_height * 4);
        return int(std::max<qint64>(256, DefaultBudgetBytes / bytes));
    }
    // 0: the default, from the icon size.
    void SetCapacity(int capacity) { m_capacity = std::max(0, capacity); }

    // Takes a new size; the pictures are dropped, as they have the old one.
    void SetSize(int width, int height)
    {
        m_width = width;
        m_height = height;
        Clear();
    }
    // Adds a picture (scaled to the list's size if it differs) for owner and returns its
    // index: a new place at the end, or, when the list is full, the place of the picture
    // used least recently.
    int Add(const QImage &image, quintptr owner = 0)
    {
        if (Count() < Capacity()) {
            m_images.append(fitted(image));
            m_owners.push_back(owner);
            m_used.push_back(++m_clock);
            return Count() - 1;
        }
        const int index = int(std::min_element(m_used.begin(), m_used.end()) - m_used.begin());
        m_images[index] = fitted(image);
        m_owners[std::size_t(index)] = owner;
        m_used[std::size_t(index)] = ++m_clock;
        return index;
    }
    // Replaces the picture at index; false when index is not a valid position.
    bool Replace(int index, const QImage &image)
    {
        if (index < 0 || index >= Count())
            return false;
        m_images[index] = fitted(image);
        return true;
    }
    QImage Image(int index) const
    {
        if (index < 0 || index >= Count())
            return QImage();
        m_used[std::size_t(index)] = ++m_clock;
        return m_images[index];
    }
    // The owner named when the picture at index was added; 0 for an invalid index.
    quintptr OwnerOf(int index) const
    {
        return index >= 0 && index < Count() ? m_owners[std::size_t(index)] : 0;
    }
    // Marks the picture at index as just used.
    void Touch(int index) const
    {
        if (index >= 0 && index < Count())
            m_used[std::size_t(index)] = ++m_clock;
    }
    void Clear()
    {
        m_images.clear();
        m_owners.clear();
        m_used.clear();
    }

private:
    static constexpr qint64 DefaultBudgetBytes = 48LL * 1024 * 1024;

    QImage fitted(const QImage &image) const
    {
        if (image.isNull() || (image.width() == m_width && image.height() == m_height))
            return image;
        return image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    int m_width;
    int m_height;
    int m_capacity = 0;
    QList<QImage> m_images;
    std::vector<quintptr> m_owners;
    mutable std::vector<quint64> m_used; // the clock value of each picture's last use
    mutable quint64 m_clock = 0;
};
