#ifndef INSTALLER_UI_TEXTFIT_H
#define INSTALLER_UI_TEXTFIT_H

#include <QStringList>

class QLabel;
class QWidget;

namespace installer {

// The window's sizes were designed for fonts at 72 dots per inch. Where the
// screen renders the same point size larger (96 dpi desktops, other fonts
// in place of Arial), these give a text the room it needs; where the design
// suffices nothing changes.

// A caption below a category image: widens caption and container to the
// text, and fits image, spacing and caption into height.
void fitCaption(QWidget* container, QLabel* caption, int height);

// The width and height a fixed-size control needs to show every one of
// texts in its (polished) font, with padding around the text, but never
// less than the designed size.
int fittedWidth(QWidget* widget, const QStringList& texts, int designed, int padding);
int fittedHeight(QWidget* widget, int designed, int padding);

} // namespace installer

#endif
