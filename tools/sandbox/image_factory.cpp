#include "tools/sandbox/image_factory.hpp"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <array>
#include <cctype>
#include <cstdint>
#include <regex>

namespace orvane::sandbox {

namespace {

// 5x7 glyphs, one byte per row, bit 4 = leftmost column. Text needs no font database,
// which would require a GUI application object.
struct Glyph {
  char c;
  std::array<std::uint8_t, 7> rows;
};

constexpr Glyph kGlyphs[] = {
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
    {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {30, 1, 1, 14, 1, 1, 30}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}},
    {'C', {14, 17, 16, 16, 16, 17, 14}}, {'D', {28, 18, 17, 17, 17, 18, 28}},
    {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}},
    {'G', {14, 17, 16, 23, 17, 17, 15}}, {'H', {17, 17, 17, 31, 17, 17, 17}},
    {'I', {14, 4, 4, 4, 4, 4, 14}},      {'J', {7, 2, 2, 2, 2, 18, 12}},
    {'K', {17, 18, 20, 24, 20, 18, 17}}, {'L', {16, 16, 16, 16, 16, 16, 31}},
    {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 17, 25, 21, 19, 17, 17}},
    {'O', {14, 17, 17, 17, 17, 17, 14}}, {'P', {30, 17, 17, 30, 16, 16, 16}},
    {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},
    {'U', {17, 17, 17, 17, 17, 17, 14}}, {'V', {17, 17, 17, 17, 17, 10, 4}},
    {'W', {17, 17, 17, 21, 21, 21, 10}}, {'X', {17, 17, 10, 4, 10, 17, 17}},
    {'Y', {17, 17, 10, 4, 4, 4, 4}},     {'Z', {31, 1, 2, 4, 8, 16, 31}},
    {'-', {0, 0, 0, 31, 0, 0, 0}},
};

const Glyph* glyphFor(char c) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const Glyph& g : kGlyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

// Writes `text` centred on the line at `centreY`, scaled to fit `maxWidth`.
void drawText(QPainter& p, const std::string& text, int centreX, int centreY, int maxWidth, int maxScale,
              const QColor& colour) {
  if (text.empty()) return;
  const int cell = 6;  // 5 columns plus spacing
  int scale = std::max(1, std::min(maxScale, maxWidth / static_cast<int>(text.size() * cell)));
  const int width = static_cast<int>(text.size()) * cell * scale - scale;
  int x = centreX - width / 2;
  const int y = centreY - 7 * scale / 2;
  for (char c : text) {
    if (const Glyph* g = glyphFor(c)) {
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (g->rows[static_cast<std::size_t>(row)] & (1u << (4 - col))) {
            p.fillRect(x + col * scale, y + row * scale, scale, scale, colour);
          }
        }
      }
    }
    x += cell * scale;
  }
}

std::uint32_t hash(std::string_view s) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

}  // namespace

std::optional<GeneratedImage> ImageFactory::render(std::string_view fileName) {
  static const std::regex kPattern(R"(^([A-Za-z0-9-]{1,40})-([0-9]{1,4})x([0-9]{1,4})\.(png|jpg|jpeg)$)");
  std::match_results<std::string_view::const_iterator> m;
  if (!std::regex_match(fileName.begin(), fileName.end(), m, kPattern)) return std::nullopt;
  const std::string label = m[1].str();
  const int width = std::stoi(m[2].str());
  const int height = std::stoi(m[3].str());
  const bool png = m[4].str() == "png";
  if (width < 8 || height < 8 || width > 2048 || height > 2048) return std::nullopt;

  const std::uint32_t h = hash(label);
  const QColor from = QColor::fromHsv(static_cast<int>(h % 360), 170, 235);
  const QColor to = QColor::fromHsv(static_cast<int>((h / 360 + 40) % 360), 200, 150);

  QImage image(width, height, png ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    const int radius = png ? std::min(width, height) / 6 : 0;
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(QRectF(0, 0, width, height), radius, radius);
    // A soft disc and a band give each tile some shape without any asset.
    p.setBrush(QColor(255, 255, 255, 50));
    const int disc = std::min(width, height) * 2 / 3;
    p.drawEllipse(width - disc * 3 / 4, -disc / 4, disc, disc);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRect(0, height * 5 / 8, width, height / 4);

    const auto dash = label.find('-');
    const std::string kind = dash == std::string::npos ? std::string{} : label.substr(0, dash);
    const std::string rest = dash == std::string::npos ? label : label.substr(dash + 1);
    p.setRenderHint(QPainter::Antialiasing, false);
    drawText(p, rest, width / 2, height * 3 / 8, width * 4 / 5, 12, Qt::white);
    drawText(p, kind, width / 2, height * 6 / 8, width * 3 / 5, 4, QColor(255, 255, 255, 220));
  }

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, png ? "PNG" : "JPG", png ? -1 : 85)) return std::nullopt;
  return GeneratedImage{std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                        png ? "image/png" : "image/jpeg"};
}

}  // namespace orvane::sandbox
