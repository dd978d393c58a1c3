// Draws the program's pictures: the application icon (four images) and the
// grey skin of the push buttons. The output is deterministic, so the files it
// writes are committed and rebuilt only when this program changes.
//
//   draw_art <icon.ico> <skin.bmp>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// ---- little-endian output ----

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bitCount, uint32_t imageSize) {
  PutU32(out, 40);
  PutU32(out, uint32_t(width));
  PutU32(out, uint32_t(height));
  PutU16(out, 1);
  PutU16(out, uint32_t(bitCount));
  PutU32(out, 0);  // BI_RGB
  PutU32(out, imageSize);
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(file);
}

// ---- colours ----

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;  // straight alpha, 0..1
};

Rgba Hex(uint32_t rgb, double a = 1.0) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a};
}

Rgba Over(Rgba top, Rgba under) {
  double a = top.a + under.a * (1 - top.a);
  if (a <= 0) return {};
  auto mix = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
  return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

Rgba Lighten(Rgba c, double k) { return {c.r + (1 - c.r) * k, c.g + (1 - c.g) * k, c.b + (1 - c.b) * k, c.a}; }
Rgba Darken(Rgba c, double k) { return {c.r * (1 - k), c.g * (1 - k), c.b * (1 - k), c.a}; }

// ---- geometry (icon canvas of 64 x 64 units) ----

struct Point {
  double x, y;
};

Point Rotate(Point p, Point centre, double degrees) {
  double t = degrees * 3.14159265358979323846 / 180.0;
  double dx = p.x - centre.x, dy = p.y - centre.y;
  return {centre.x + dx * std::cos(t) - dy * std::sin(t), centre.y + dx * std::sin(t) + dy * std::cos(t)};
}

double Cross(Point a, Point b, Point p) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); }

bool InTriangle(Point p, Point a, Point b, Point c) {
  double d1 = Cross(a, b, p), d2 = Cross(b, c, p), d3 = Cross(c, a, p);
  bool neg = d1 < 0 || d2 < 0 || d3 < 0;
  bool pos = d1 > 0 || d2 > 0 || d3 > 0;
  return !(neg && pos);
}

double SegmentDistance(Point p, Point a, Point b) {
  double vx = b.x - a.x, vy = b.y - a.y;
  double len2 = vx * vx + vy * vy;
  double t = len2 > 0 ? std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / len2, 0.0, 1.0) : 0.0;
  double dx = a.x + t * vx - p.x, dy = a.y + t * vy - p.y;
  return std::sqrt(dx * dx + dy * dy);
}

// The kite: a diamond tilted to the right, split by its spars into four
// coloured panels made of square "pixels", with a tail of little square bows.
struct Kite {
  Point top, left, right, bottom, cross;
  std::vector<Point> tail;  // polyline
  std::vector<std::pair<Point, uint32_t>> bows;
};

// `big`: 0 for the roomy layout of the larger images, 1 for the 16 x 16
// image, where the kite fills more of the square and the tail is shorter.
Kite MakeKite(double big) {
  const double tilt = 18;
  const double scale = 1.0 + 0.15 * big;
  const Point centre{35, 26 + 1 * big};
  auto at = [&](double x, double y) { return Rotate({centre.x + x * scale, centre.y + y * scale}, centre, tilt); };
  Kite k;
  k.top = at(0, -21);
  k.left = at(-19, -4);
  k.right = at(19, -4);
  k.bottom = at(0, 24);
  k.cross = at(0, -4);
  // A lazy S from the kite's foot down to the lower left corner.
  Point p0 = k.bottom, p1{k.bottom.x - 4, 60}, p2{22, 48}, p3{5 + 2 * big, 59 - big};
  for (int i = 0; i <= 40; ++i) {
    double t = i / 40.0, u = 1 - t;
    k.tail.push_back({u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                      u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
  }
  if (big > 0) {
    k.bows = {{k.tail[22], 0xF2B705}, {k.tail[40], 0xE8453C}};
  } else {
    k.bows = {{k.tail[12], 0xF2B705}, {k.tail[26], 0x2E86DE}, {k.tail[40], 0xE8453C}};
  }
  return k;
}

struct Style {
  double outline;  // units
  double tailWidth;
  double bowSize;
  double tile;  // 0: panels without pixel tiles
  bool spars;
};

Rgba KiteColour(const Kite& k, const Style& s, Point p) {
  Rgba out;
  const Rgba ink = Hex(0x1F2A44);

  // Tail under the kite.
  double tailDistance = 1e9;
  for (size_t i = 1; i < k.tail.size(); ++i) tailDistance = std::min(tailDistance, SegmentDistance(p, k.tail[i - 1], k.tail[i]));
  if (tailDistance <= s.tailWidth / 2) out = Over(ink, out);

  for (const auto& [at, rgb] : k.bows) {
    // Bows are squares turned to a diamond, outlined in ink.
    double d = std::abs(p.x - at.x) + std::abs(p.y - at.y);
    if (d <= s.bowSize) out = Over(d >= s.bowSize - s.outline * 0.9 ? ink : Hex(rgb), out);
  }

  // Panels.
  struct Panel {
    Point a, b;
    uint32_t colour;
  };
  const Panel panels[] = {{k.top, k.left, 0xE8453C}, {k.top, k.right, 0xF2B705},
                          {k.left, k.bottom, 0x2E86DE}, {k.right, k.bottom, 0x2BA84A}};
  bool inside = false;
  for (const Panel& panel : panels) {
    if (!InTriangle(p, panel.a, panel.b, k.cross)) continue;
    inside = true;
    Rgba c = Hex(panel.colour);
    if (s.tile > 0) {
      // Tiles follow the kite's own axes, so they tilt with it.
      Point local = Rotate(p, k.cross, -18);
      int ix = int(std::floor((local.x - k.cross.x) / s.tile));
      int iy = int(std::floor((local.y - k.cross.y) / s.tile));
      if (((ix + iy) & 1) != 0) c = Lighten(c, 0.22);
    }
    // A soft light from the upper left.
    double shade = ((p.x - 10) + (p.y - 4)) / 110.0;
    c = shade < 0.45 ? Lighten(c, (0.45 - shade) * 0.35) : Darken(c, (shade - 0.45) * 0.35);
    out = Over(c, out);
    break;
  }
  if (inside && s.spars) {
    double spar = std::min(SegmentDistance(p, k.top, k.bottom), SegmentDistance(p, k.left, k.right));
    if (spar <= s.outline * 0.35) out = Over(Hex(0xFFFFFF, 0.75), out);
  }
  // Outline of the diamond.
  double edge = std::min({SegmentDistance(p, k.top, k.left), SegmentDistance(p, k.top, k.right),
                          SegmentDistance(p, k.left, k.bottom), SegmentDistance(p, k.right, k.bottom)});
  if (edge <= s.outline / 2 && (inside || edge <= s.outline / 2)) out = Over(ink, out);
  return out;
}

// Renders one icon image, 8 x 8 samples per pixel averaged with their alpha.
std::vector<Rgba> RenderIcon(int size) {
  const Kite kite = MakeKite(size <= 16 ? 1.0 : 0.0);
  const double unit = 64.0 / size;  // canvas units per pixel
  Style style;
  switch (size) {
    case 16: style = {1.15 * unit, 1.0 * unit, 2.2 * unit, 0, false}; break;
    case 32: style = {1.4 * unit, 1.0 * unit, 2.6 * unit, 8, true}; break;
    case 48: style = {1.7 * unit, 1.3 * unit, 3.5 * unit, 8, true}; break;
    default: style = {2.0 * unit, 1.5 * unit, 4.5 * unit, 8, true}; break;
  }
  std::vector<Rgba> pixels(size_t(size) * size);
  const int n = 8;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < n; ++sy) {
        for (int sx = 0; sx < n; ++sx) {
          Point p{(x + (sx + 0.5) / n) * unit, (y + (sy + 0.5) / n) * unit};
          Rgba c = KiteColour(kite, style, p);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      }
      Rgba& out = pixels[size_t(y) * size + x];
      if (a > 0) out = {r / a, g / a, b / a, a / (n * n)};
    }
  }
  return pixels;
}

uint8_t Byte(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

// One icon image: info header with doubled height, colour rows bottom first,
// then the 1-bit mask (1 = transparent).
std::vector<uint8_t> IconImage(int size, int bitCount) {
  std::vector<Rgba> pixels = RenderIcon(size);
  const int stride = ((size * bitCount + 31) / 32) * 4;
  const int maskStride = ((size + 31) / 32) * 4;
  std::vector<uint8_t> out;
  PutInfoHeader(out, size, size * 2, bitCount, uint32_t((stride + maskStride) * size));
  // Without an alpha channel a pixel is either drawn or not: half covered counts.
  auto opaque = [&](const Rgba& c) { return bitCount == 32 ? Byte(c.a) > 0 : c.a >= 0.5; };
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < size; ++x) {
      const Rgba& c = pixels[size_t(y) * size + x];
      bool on = opaque(c);
      row.push_back(on ? Byte(c.b) : 0);
      row.push_back(on ? Byte(c.g) : 0);
      row.push_back(on ? Byte(c.r) : 0);
      if (bitCount == 32) row.push_back(on ? Byte(c.a) : 0);
    }
    row.resize(size_t(stride), 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(size_t(maskStride), 0);
    for (int x = 0; x < size; ++x) {
      if (!opaque(pixels[size_t(y) * size + x])) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<uint8_t> IconFile() {
  const std::array<std::pair<int, int>, 4> images = {{{16, 32}, {32, 24}, {48, 32}, {64, 32}}};
  std::vector<std::vector<uint8_t>> data;
  for (auto [size, bits] : images) data.push_back(IconImage(size, bits));
  std::vector<uint8_t> out;
  PutU16(out, 0);
  PutU16(out, 1);
  PutU16(out, uint32_t(images.size()));
  uint32_t offset = 6 + 16 * uint32_t(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(uint8_t(images[i].first));
    out.push_back(uint8_t(images[i].first));
    out.push_back(0);
    out.push_back(0);
    PutU16(out, 1);
    PutU16(out, uint32_t(images[i].second));
    PutU32(out, uint32_t(data[i].size()));
    PutU32(out, offset);
    offset += uint32_t(data[i].size());
  }
  for (const auto& d : data) out.insert(out.end(), d.begin(), d.end());
  return out;
}

// ---- the skin: five grey button frames of 55 x 22 ----

constexpr int kFrameWidth = 55;
constexpr int kFrameHeight = 22;
constexpr int kFrames = 5;

// Depth of a point inside a rounded rectangle of radius 3 (negative outside).
double Depth(double px, double py) {
  const double r = 3.0;
  const double hx = kFrameWidth / 2.0, hy = kFrameHeight / 2.0;
  double qx = std::abs(px - hx) - (hx - r), qy = std::abs(py - hy) - (hy - r);
  double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return -(outside + std::min(std::max(qx, qy), 0.0) - r);
}

struct Bevel {
  double outline;   // grey of the outline
  double lightRim;  // rim along the top and left
  double darkRim;   // rim along the bottom and right
  double top, middle, bottom;  // face gradient
  double brighten;  // 0..1 towards white (rims and face)
  double darken;    // 0..1 towards black (rims and face)
};

double FrameGrey(const Bevel& b, int x, int y) {
  // Coverage of the shape, 4 x 4 samples, blended over the grey 0xC0 outside.
  double covered = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx)
      if (Depth(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) >= 0) covered += 1.0 / 16;
  double depth = Depth(x + 0.5, y + 0.5);
  double grey;
  if (depth < 1.0) {
    grey = b.outline;
  } else {
    double face;
    if (depth < 2.0) {
      int toLight = std::min(x, y), toDark = std::min(kFrameWidth - 1 - x, kFrameHeight - 1 - y);
      face = toLight <= toDark ? b.lightRim : b.darkRim;
    } else {
      double t = (y - 2) / double(kFrameHeight - 5);  // 0 at the top of the face, 1 at its foot
      face = t < 0.5 ? b.top + (b.middle - b.top) * (t / 0.5) : b.middle + (b.bottom - b.middle) * ((t - 0.5) / 0.5);
    }
    face = face + (255 - face) * b.brighten;
    grey = face * (1 - b.darken);
  }
  return grey * covered + 0xC0 * (1 - covered);
}

std::vector<uint8_t> SkinBitmap() {
  const Bevel frames[kFrames] = {
      {0x40, 0xFF, 0x90, 0xDE, 0xCA, 0xB4, 0, 0},     // normal: raised
      {0x20, 0x90, 0xFF, 0xB4, 0xC4, 0xD6, 0, 0},     // pressed: sunken
      {0x50, 0xD8, 0xD8, 0xC0, 0xC0, 0xC0, 0, 0},     // disabled: flat
      {0x10, 0xFF, 0x90, 0xDE, 0xCA, 0xB4, 0.45, 0},  // focused: normal brightened
      {0x40, 0xFF, 0x90, 0xDE, 0xCA, 0xB4, 0, 0.08},  // spare: normal darkened
  };
  const int width = kFrameWidth * kFrames, height = kFrameHeight;
  const int stride = ((width * 24 + 31) / 32) * 4;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutU32(out, uint32_t(14 + 40 + stride * height));
  PutU32(out, 0);
  PutU32(out, 14 + 40);
  PutInfoHeader(out, width, height, 24, uint32_t(stride * height));
  for (int y = height - 1; y >= 0; --y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < width; ++x) {
      uint8_t g = uint8_t(std::lround(std::clamp(FrameGrey(frames[x / kFrameWidth], x % kFrameWidth, y), 0.0, 255.0)));
      row.insert(row.end(), {g, g, g});
    }
    row.resize(size_t(stride), 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: draw_art <icon.ico> <skin.bmp>\n");
    return 2;
  }
  if (!WriteFile(argv[1], IconFile()) || !WriteFile(argv[2], SkinBitmap())) {
    std::perror("draw_art");
    return 1;
  }
  return 0;
}
