#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QSizeF>

class QWidget;

namespace quillory {

class AppContext;
class frmMain;

// The card's photo. Binds the display `pic` and the hidden natural-size box `pix1` to the
// field `bitmap` (both follow every move of the data source), shapes the display with
// FitPhoto, and connects "Add Photo", "Delete Photo" and a double click on the display.
// Run it on the main window right after creation (AppContext::onMainWindowCreated); running it
// again on the same window does nothing.
void installPhotos(AppContext& app, frmMain& main);

// Puts the photo viewer's command ("prevpic": the menu item "View Photo" and the toolbar
// button) into the command table.
void registerPhotoCommands(AppContext& app);

namespace photo {

// A control's exact place in twips, in its parent's coordinates. Pixels round, so sizes such
// as 4518.75 twips are kept in the dynamic property "twipsGeometry"; the record is believed
// only while it still gives the control's pixel geometry (anyone may have moved the control
// by pixels since), otherwise the pixels are converted.
QRectF twipsGeometry(const QWidget& control);
void setTwipsGeometry(QWidget& control, const QRectF& twips);

// FitPhoto's rule in twips: the display's new size for a photo of natural size `natural` in a
// frame of size `frame`, from the display's size `display` before the call. Landscape: the
// height becomes 0.8 x the width it had, then the width FW - 150. Portrait: the width becomes
// FW - 150. Portrait and square: the height becomes 1.25 x the width. A value that would be
// negative (a frame squeezed to nothing) is not taken; the display keeps that side.
QSizeF fittedDisplaySize(const QSizeF& natural, const QSizeF& frame, QSizeF display);

// Where the display stands in a frame of size `frame` for the size `fitted` that FitPhoto's
// rule gave: at its designed place (60, 150). A display taller than the room above the frame's
// buttons (the frame's height less 600) would run over them, so it is shown smaller, keeping
// its shape, and centred in the frame; the rule goes on from the size it gave.
QRectF displayWithinFrame(const QSizeF& fitted, const QSizeF& frame);

// Puts the picture of `stored` (bytes as the book stores them) on the card as the contact's new
// photo: into the display and the natural-size box, pending for `bitmap` of the current row
// (written when the data source moves), then FitPhoto. Empty bytes clear the photo. Throws
// std::runtime_error, changing nothing, when the bytes cannot be decoded. With no current row
// nothing is written.
void loadPhoto(frmMain& main, const QByteArray& stored);

// "Delete Photo"'s question, "Are you sure you want to DELETE current photo?", No the default,
// over `parent`; true when it was answered Yes.
bool deleteConfirmed(QWidget* parent);

// "Delete Photo": asks, and on Yes empties Label2 and the display, pending NULL for `bitmap`.
void deletePhoto(frmMain& main);

// "Add Photo": the photo chooser, modal.
void addPhoto(AppContext& app, frmMain& main);

// Shows the display's photo in the viewer, modal.
void viewPhoto(frmMain& main);

// The picture the display shows (null when none, or while it is still being read), decoded at
// the size it is shown at.
QImage displayedPhoto(const frmMain& main);

// True when the display shows a photo (or is reading one), not a note.
bool showsPhoto(const frmMain& main);

// The natural size the natural-size box holds: the photo's pixel size, upright (invalid when
// it holds none).
QSize naturalSize(const frmMain& main);

} // namespace photo

} // namespace quillory
