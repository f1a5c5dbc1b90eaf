#include "shell/backgroundarea.h"

#include "domain/shell/programdata.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

BackgroundArea::BackgroundArea(QWidget *parent) : QMdiArea(parent)
{
    setBackground(QColor(0x2b, 0x4a, 0x6f));
}

BackgroundArea::~BackgroundArea() = default;

bool BackgroundArea::loadPicture(const QString &path)
{
    delete m_picture;
    m_picture = new QSvgRenderer(path, this);
    if (!m_picture->isValid()) {
        delete m_picture;
        m_picture = nullptr;
        return false;
    }
    renderBackground();
    return true;
}

bool BackgroundArea::hasPicture() const
{
    return m_picture != nullptr;
}

void BackgroundArea::resizeEvent(QResizeEvent *event)
{
    QMdiArea::resizeEvent(event);
    renderBackground();
}

void BackgroundArea::renderBackground()
{
    if (!m_picture || viewport()->size().isEmpty())
        return;
    const QSize area = viewport()->size();
    QPixmap canvas(area);
    canvas.fill(QColor(0x2b, 0x4a, 0x6f));
    QPainter painter(&canvas);
    // Scaled to cover the whole area, keeping the picture's proportions.
    QSizeF size = m_picture->defaultSize();
    size.scale(area, Qt::KeepAspectRatioByExpanding);
    const QRectF target((area.width() - size.width()) / 2.0, (area.height() - size.height()) / 2.0, size.width(),
                        size.height());
    m_picture->render(&painter, target);
    painter.end();
    setBackground(canvas);
}
