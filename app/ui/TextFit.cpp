#include "TextFit.h"

#include <QLabel>
#include <QLayout>

namespace installer {

int fittedWidth(QWidget* widget, const QStringList& texts, int designed, int padding)
{
    widget->ensurePolished();
    const QFontMetrics metrics = widget->fontMetrics();
    int width = designed;
    for (const QString& text : texts)
        width = qMax(width, metrics.horizontalAdvance(text) + padding);
    return width;
}

int fittedHeight(QWidget* widget, int designed, int padding)
{
    widget->ensurePolished();
    return qMax(designed, widget->fontMetrics().height() + padding);
}

void fitCaption(QWidget* container, QLabel* caption, int height)
{
    const int width = fittedWidth(caption, {caption->text()}, caption->minimumWidth(), 4);
    if (width > caption->minimumWidth()) {
        caption->setFixedWidth(width);
        container->setFixedWidth(qMax(container->minimumWidth(), width));
    }
    const int captionHeight = fittedHeight(caption, caption->minimumHeight(), 0);
    if (captionHeight > caption->minimumHeight())
        caption->setMinimumHeight(captionHeight);
    if (caption->maximumHeight() < captionHeight)
        caption->setMaximumHeight(captionHeight);

    // Image, spacing and caption share the height; the spacing gives way.
    container->setFixedHeight(height);
    if (QLayout* layout = container->layout()) {
        int top = 0;
        int left = 0;
        int right = 0;
        int bottom = 0;
        layout->getContentsMargins(&left, &top, &right, &bottom);
        int image = 0;
        if (layout->count() > 0 && layout->itemAt(0)->widget() != nullptr)
            image = layout->itemAt(0)->widget()->minimumHeight();
        const int room = height - top - bottom - image - captionHeight;
        if (layout->spacing() > room)
            layout->setSpacing(qMax(0, room));
    }
}

} // namespace installer
