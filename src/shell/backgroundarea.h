#pragma once

#include <QMdiArea>

class QSvgRenderer;

// The main window's work area with the program picture drawn in its middle.
class BackgroundArea : public QMdiArea
{
    Q_OBJECT
public:
    explicit BackgroundArea(QWidget *parent = nullptr);
    ~BackgroundArea() override;

    // Loads the picture; a missing or broken file leaves the area plain.
    bool loadPicture(const QString &path);
    bool hasPicture() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void renderBackground();
    QSvgRenderer *m_picture = nullptr;
};

// The program picture backroca.svg, from the program's data folder.
