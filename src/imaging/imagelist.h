#pragma once
// The small image list of the two list views: pictures of one size, addressed by index.
// The widgets show them as icons; the holders fill it on demand (TDsOrgBild::GetImageIndex).
#include <QImage>
#include <QList>

class TImageList
{
public:
    explicit TImageList(int width = 16, int height = 16) : m_width(width), m_height(height) {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return int(m_images.size()); }

    // Takes a new size; the pictures are dropped, as they have the old one.
    void SetSize(int width, int height)
    {
        m_width = width;
        m_height = height;
        Clear();
    }
    // Appends a picture (scaled to the list's size if it differs) and returns its index.
    int Add(const QImage &image)
    {
        m_images.append(fitted(image));
        return Count() - 1;
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
        return index >= 0 && index < Count() ? m_images[index] : QImage();
    }
    void Clear() { m_images.clear(); }

private:
    QImage fitted(const QImage &image) const
    {
        if (image.isNull() || (image.width() == m_width && image.height() == m_height))
            return image;
        return image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    int m_width;
    int m_height;
    QList<QImage> m_images;
};
