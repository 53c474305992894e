#include "gui/desktop/copied_code.h"

#include "gui/desktop/desktop.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QWindow>

#include <easylogging++.h>

namespace {

// Offered by every copy of a code, and only by one: a desktop's clipboard tools see whose copy
// the clipboard holds without reading it. The window copies again only over its own copy, so the
// clipboard's copy is the last one. One name, not one a copy: X11 and Windows keep every format
// name they have seen until they stop.
const QString copy_mark = QStringLiteral("application/x-umbrata-copy");

}  // namespace

CopiedCode::CopiedCode(int lifetime_ms, QObject* parent) : QObject(parent) {
  expiry.setSingleShot(true);
  expiry.setInterval(lifetime_ms);
  connect(&expiry, &QTimer::timeout, this, [this] { remove(Moment::expiry); });
}

CopiedCode::~CopiedCode() {
  if (left) QGuiApplication::instance()->removeEventFilter(this);
}

void CopiedCode::copy(const QString& value) {
  auto* data = new QMimeData;
  data->setText(value);
  desktop::mark_secret(*data);
  data->setData(copy_mark, QByteArrayLiteral("1"));
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  // Kept only to be cleared: a code the user wants kept stays at quit too.
  code = clearing ? value : QString();
  set_left(false);
  if (clearing)
    expiry.start();
  else
    expiry.stop();
}

void CopiedCode::forget() { remove(Moment::quit); }

void CopiedCode::set_clearing(bool on) {
  clearing = on;
  if (on) return;
  expiry.stop();
  code.clear();
  set_left(false);
}

bool CopiedCode::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
      if (watched->isWindowType()) remove(Moment::input);
      break;
    // Sent to the focused item before a shortcut (Ctrl+Q) takes the key, whose press the window
    // then never sees.
    case QEvent::ShortcutOverride:
      remove(Moment::input);
      break;
    default:
      break;
  }
  return false;
}

void CopiedCode::remove(Moment moment) {
  expiry.stop();
  if (code.isEmpty()) return;
  switch (wipe(moment)) {
    case Wipe::cleared:
      LOG(INFO) << "The copied code was cleared from the clipboard";
      break;
    case Wipe::replaced:
      LOG(INFO) << "The copied code was replaced by an empty text in the clipboard";
      break;
    case Wipe::offered:
      LOG(INFO) << "At quit the copied code was replaced by an empty text, which the desktop takes only if the quit "
                   "came from the window (a key or its menu)";
      break;
    case Wipe::other:
      LOG(INFO) << "The clipboard changed since the code was copied: left alone";
      break;
    case Wipe::refused:
      if (!left)
        LOG(INFO) << "The desktop refused to clear the copied code from the clipboard: tried again at the window's "
                     "next input and at quit";
      set_left(true);
      return;
  }
  code.clear();
  set_left(false);
}

CopiedCode::Wipe CopiedCode::wipe(Moment moment) {
  switch (desktop::clear_marked_clipboard(copy_mark)) {
    case desktop::ClipboardWipe::cleared:
      return Wipe::cleared;
    case desktop::ClipboardWipe::other:
      return Wipe::other;
    case desktop::ClipboardWipe::refused:
      return Wipe::refused;
    case desktop::ClipboardWipe::unavailable:
      break;
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  // Judged by what the clipboard holds, not by who holds it: a clipboard manager takes each copy
  // over as its own, the code with it.
  if (clipboard->text(QClipboard::Clipboard) != code) return Wipe::other;
  const desktop::QtClipboardWipe way = desktop::qt_clipboard_wipe();
  if (way == desktop::QtClipboardWipe::replace_at_input && moment == Moment::expiry) return Wipe::refused;
  if (way == desktop::QtClipboardWipe::clear) {
    clipboard->clear(QClipboard::Clipboard);
    // Read back from the desktop, which now holds the clipboard.
    if (clipboard->text(QClipboard::Clipboard) != code) return Wipe::cleared;
  }
  // A compositor such as Weston keeps a copy of a selection whose owner lets go of it, and a
  // clipboard manager may bring the code back into an emptied clipboard: only another copy takes
  // its place, which takes the selection back from whichever program holds it.
  clipboard->setText(QStringLiteral(""), QClipboard::Clipboard);
  if (clipboard->text(QClipboard::Clipboard) == code) return Wipe::refused;
  return way == desktop::QtClipboardWipe::replace_at_input && moment == Moment::quit ? Wipe::offered : Wipe::replaced;
}

void CopiedCode::set_left(bool on) {
  if (on == left) return;
  left = on;
  if (left)
    QGuiApplication::instance()->installEventFilter(this);
  else
    QGuiApplication::instance()->removeEventFilter(this);
  emit left_changed();
}
