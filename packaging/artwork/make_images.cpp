// Draws Umbrata's images: make_images OUTPUT_FOLDER. Run by scripts/make-images; the PNGs it
// writes are committed in gui/qml/pic/. make_images --icons FOLDER SIZE... draws the program's icon at
// each size into FOLDER/SIZExSIZE/apps/umbrata.png, the hicolor theme's layout, at build time.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

const QColor mark_colour(0x1f, 0x5f, 0x74);
const QColor accent_colour(0xe8, 0xa3, 0x3d);
const QColor outline_grey(0x44, 0x44, 0x44);

QImage blank(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A clock face, and a key laid across its lower right.
QImage key_and_clock(int size) {
  QImage image = blank(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 512.0, size / 512.0);

  p.setPen(QPen(mark_colour, 36));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(220, 220), 176, 176);
  p.setPen(QPen(mark_colour, 30, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(220, 220), QPointF(220, 110));
  p.drawLine(QPointF(220, 220), QPointF(300, 250));
  for (int hour = 0; hour < 12; ++hour) {
    const double angle = hour * M_PI / 6;
    p.drawPoint(QPointF(220 + 140 * std::sin(angle), 220 - 140 * std::cos(angle)));
  }

  QPainterPath key;
  key.addEllipse(QPointF(330, 330), 62, 62);
  key.addRect(QRectF(372, 312, 118, 36));
  key.addRect(QRectF(430, 348, 22, 42));
  key.addRect(QRectF(466, 348, 24, 56));
  key.setFillRule(Qt::WindingFill);
  QPainterPath hole;
  hole.addEllipse(QPointF(322, 330), 22, 22);
  p.setPen(QPen(Qt::white, 14));
  p.setBrush(accent_colour);
  p.drawPath(key.simplified().subtracted(hole));
  return image;
}

// Two overlapping document outlines.
QImage clipboard_copy() {
  QImage image = blank(512, 512);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(outline_grey, 34, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(60, 40, 270, 340), 36, 36);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(182, 132, 270, 340), 36, 36);
  for (int line = 0; line < 3; ++line) p.drawLine(QPointF(240, 230 + line * 70), QPointF(394, 230 + line * 70));
  return image;
}

// The word mark of the maker, 210 x 75 times scale.
QImage word_mark(int scale) {
  QImage image = blank(210 * scale, 75 * scale);
  QPainter p(&image);
  p.scale(scale, scale);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setPen(QPen(accent_colour, 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12, 58), QPointF(198, 58));
  QFont font("DejaVu Sans");
  font.setPixelSize(21);
  font.setBold(true);
  font.setLetterSpacing(QFont::PercentageSpacing, 96);
  p.setFont(font);
  p.setPen(mark_colour);
  p.drawText(QRectF(0, 8, 210, 44), Qt::AlignCenter, "Orvalin Direzoda");
  return image;
}

// The image with a palette of its 256 most frequent colours, each other colour taking the closest
// of them. Between 1x and 2x a screen shows the @2x image, and the window converts a full-colour
// one of over 128 KiB for the screen on a pool of threads, but a palette one on its own thread.
QImage with_palette(const QImage& drawn) {
  const QImage image = drawn.convertToFormat(QImage::Format_ARGB32);  // pixel() as the palette holds it
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
  std::vector<std::pair<int, QRgb>> by_count;
  for (const auto& [colour, count] : counts) by_count.emplace_back(count, colour);
  std::sort(by_count.rbegin(), by_count.rend());
  QVector<QRgb> table;
  for (std::size_t i = 0; i < by_count.size() && i < 256; ++i) table.append(by_count[i].second);
  return image.convertToFormat(QImage::Format_Indexed8, table);
}

// The code box's shadow, for a BorderImage with borders of 2 * reach: the box, #aa000000, blurred
// as DropShadow blurred it with radius 9 and 9 samples (taps 2.25 px apart weighted by a gaussian
// of deviation 3 taps), the box covering all but the outer reach. The software scene graph runs
// no shader, so the blur is done here, once; at scale 2 for screens of twice the density.
QImage code_shadow(int scale) {
  const int reach = 9 * scale;
  const double deviation = 3 * 2.25 * scale;
  const int size = 4 * reach + 2 * scale;
  std::vector<double> weights;
  double total = 0;
  for (int d = -reach; d <= reach; ++d) {
    weights.push_back(std::exp(-d * d / (2 * deviation * deviation)));
    total += weights.back();
  }
  // A gaussian is separable and the box is a rectangle: the blurred box is the product of its
  // blurred edge along x and along y.
  std::vector<double> edge(size, 0.0);
  for (int i = 0; i < size; ++i)
    for (int d = -reach; d <= reach; ++d)
      if (i + d >= reach && i + d < size - reach) edge[i] += weights[d + reach] / total;
  QImage image = blank(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) image.setPixel(x, y, qRgba(0, 0, 0, qRound(0xaa * edge[x] * edge[y])));
  return image;
}

// Drawn at each size rather than scaled down from the largest: the lines stay sharp at 16 px.
bool icons(const QDir& out, const QStringList& sizes) {
  for (const QString& text : sizes) {
    const int size = text.toInt();
    const QString folder = QString("%1x%1/apps").arg(size);
    if (size <= 0 || !out.mkpath(folder) || !key_and_clock(size).save(out.filePath(folder + "/umbrata.png"))) return false;
  }
  return true;
}

// The tray's icon while no key is plugged in: the same mark, grey and faint.
QImage without_key(const QImage& icon) {
  QImage grey = blank(icon.width(), icon.height());
  for (int y = 0; y < icon.height(); ++y)
    for (int x = 0; x < icon.width(); ++x) {
      const QColor c = icon.pixelColor(x, y);
      const int g = qGray(c.rgb());
      grey.setPixelColor(x, y, QColor(g, g, g, c.alpha() / 2));
    }
  return grey;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList arguments = QCoreApplication::arguments().mid(1);
  if (arguments.size() >= 2 && arguments.first() == "--icons") return icons(QDir(arguments.at(1)), arguments.mid(2)) ? 0 : 1;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_images OUTPUT_FOLDER | make_images --icons FOLDER SIZE...\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  // The "@2x" variants are what Qt shows on a screen of twice the density.
  const bool ok = key_and_clock(48).save(out.filePath("brenvale-logo-48-48.png")) &&
                  key_and_clock(96).save(out.filePath("brenvale-logo-48-48@2x.png")) &&
                  key_and_clock(512).save(out.filePath("brenvale-icon.png")) &&
                  clipboard_copy().save(out.filePath("clipboard-copy.png")) &&
                  word_mark(1).save(out.filePath("orvalin_logo.png")) &&
                  with_palette(word_mark(2)).save(out.filePath("orvalin_logo@2x.png")) &&
                  code_shadow(1).save(out.filePath("code-shadow.png")) &&
                  code_shadow(2).save(out.filePath("code-shadow@2x.png")) &&
                  key_and_clock(64).save(out.filePath("tray-key.png")) &&
                  without_key(key_and_clock(64)).save(out.filePath("tray-no-key.png"));
  return ok ? 0 : 1;
}
