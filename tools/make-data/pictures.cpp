// The pictures: one journey through a neon night, in six stages of procedural drawing
// (sunset landscapes, tunnels, interference rings, contour plasma, fractals, a finale).
// The show starts fading at picture 15, so the journey starts there and wraps round.
// Every shape is bold and every stage has near-black against bright colour, because the
// show fades slowly under noise in blue and green and strobes the pictures at random.
#include "tools/make-data/pictures.h"

#include "tools/make-data/calc.h"

#include <array>
#include <cmath>

namespace md {
namespace {

struct col {
    double r, g, b;
};
col operator+(col a, col b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
col operator*(col a, double k) {
    return {a.r * k, a.g * k, a.b * k};
}
col mixc(col a, col b, double t) {
    return {mixd(a.r, b.r, t), mixd(a.g, b.g, t), mixd(a.b, b.b, t)};
}
constexpr col hex(std::uint32_t v) {
    return {(double)((v >> 16) & 255), (double)((v >> 8) & 255), (double)(v & 255)};
}

// A palette: five colours from dark to bright, evenly spaced.
using palette = std::array<col, 5>;
const palette sunset = {hex(0x12002a), hex(0x5a0b6e), hex(0xe0267a), hex(0xff8a1e), hex(0xfff27a)};
const palette ice = {hex(0x020818), hex(0x0b3d7a), hex(0x1a8fe0), hex(0x30e6f0), hex(0xeaffff)};
const palette fire = {hex(0x100000), hex(0x8a0a00), hex(0xe83000), hex(0xffa000), hex(0xfff4c0)};
const palette toxic = {hex(0x000c06), hex(0x0a5a2a), hex(0x30c030), hex(0xb0ff3a), hex(0xf8ffd0)};
const palette violet = {hex(0x0a0014), hex(0x3a0c80), hex(0x9030f0), hex(0xff60d0), hex(0xffe0ff)};
const palette gold = {hex(0x100600), hex(0x602800), hex(0xd07000), hex(0xffc020), hex(0xffffe0)};

col grad(const palette &p, double t) {
    t = clamp01(t) * 4.0;
    int i = (int)t;
    if (i >= 4)
        return p[4];
    return mixc(p[i], p[i + 1], t - i);
}

// Distance to the nearest whole number.
double edge_dist(double v) {
    return std::fabs(v - std::floor(v + 0.5));
}

// --- stage 1: synthwave landscapes ------------------------------------------------------

struct landscape {
    const palette *pal;
    col sky_top, sky_low, sun_top, sun_low, rock, rim, grid;
    double sun_x, sun_y, sun_r, horizon;
    int hills;    // 0 jagged peaks, 1 rounded dunes, 2 pyramids
    bool stripes; // sun cut by widening gaps
    bool stars;
    bool ring; // a ringed planet instead of the sun
    std::uint32_t seed;
};

double triangle(double v) {
    return 1.0 - 2.0 * edge_dist(v);
} // 0..1 peaks at whole numbers

double hill_height(const landscape &l, double x) {
    double s = (double)(l.seed % 97);
    switch (l.hills) {
    case 0:
        return 34.0 * triangle(x / 83.0 + s * 0.013) * triangle(x / 57.0 + 0.3) +
               14.0 * triangle(x / 23.0 + s * 0.1) + 5.0 * triangle(x / 9.0);
    case 1:
        return 18.0 + 12.0 * sine(x / 31.0 + s) + 7.0 * sine(x / 13.0 + 2.0 * s);
    default: {
        double best = 0.0;
        for (int k = 0; k < 3; ++k) {
            double cx = 40.0 + 110.0 * k + s * 0.3;
            double h = (k == 1 ? 62.0 : 42.0) - std::fabs(x - cx) * 0.9;
            best = h > best ? h : best;
        }
        return best;
    }
    }
}

col draw_landscape(const landscape &l, double x, double y) {
    const double h = l.horizon;
    if (y < h) {
        double t = y / h;
        col c = mixc(l.sky_top, l.sky_low, t * t);
        if (l.stars) {
            std::uint32_t cell =
                (std::uint32_t)(x / 5.0) * 977u + (std::uint32_t)(y / 5.0) * 131u + l.seed;
            double hx = hash01(cell), hy = hash01(cell * 7u + 1u);
            if (hash01(cell * 13u + 5u) < 0.10) {
                double sx = std::floor(x / 5.0) * 5.0 + 1.0 + 3.0 * hx,
                       sy = std::floor(y / 5.0) * 5.0 + 1.0 + 3.0 * hy;
                double d2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
                if (d2 < 0.7)
                    c = mixc(c, hex(0xffffff), 1.0 - t);
            }
        }
        double dx = x - l.sun_x, dy = y - l.sun_y;
        double d = std::sqrt(dx * dx + dy * dy);
        if (d > l.sun_r) {
            double g = clamp01(1.0 - (d - l.sun_r) / (l.sun_r * 0.9));
            c = c + l.sun_low * (0.45 * g * g);
        }
        bool in_sun = d < l.sun_r;
        if (in_sun && l.stripes && dy > -l.sun_r * 0.1) {
            double band = (dy + l.sun_r * 0.1) / (l.sun_r * 1.1);
            if (fract(dy / (l.sun_r * 0.19)) < band * 0.7)
                in_sun = false;
        }
        if (in_sun)
            c = mixc(l.sun_top, l.sun_low, clamp01((y - (l.sun_y - l.sun_r)) / (2.0 * l.sun_r)));
        if (l.ring) {
            double ex = dx / (l.sun_r * 2.3), ey = dy / (l.sun_r * 0.55);
            double e = ex * ex + ey * ey;
            bool front = dy > 0.0 || d > l.sun_r;
            if (e > 0.62 && e < 1.0 && front)
                c = mixc(l.rim, hex(0xffffff), e > 0.8 ? 0.0 : 0.5);
        }
        double top = h - hill_height(l, x);
        if (y > top) {
            double depth = clamp01((y - top) / 40.0);
            c = mixc(l.rock * 1.6, l.rock, depth);
            if (y - top < 1.6)
                c = l.rim;
        }
        return c;
    }
    double dy = y - h + 0.5;
    double z = 70.0 / dy;
    double u = (x - 160.0) * z / 28.0;
    double v = z + 0.35;
    double du = edge_dist(u) * 28.0 / z; // in pixels
    double dv = edge_dist(v) * dy * dy / 70.0;
    double line = std::fmax(clamp01(1.3 - du), clamp01(1.3 - dv));
    double glow = 0.5 / (1.0 + du * du * 0.3) + 0.5 / (1.0 + dv * dv * 0.3);
    double fade = smooth(0.0, 30.0, dy);
    col floor_c = mixc(l.sky_low * 0.5, l.rock * 0.6, fade);
    return mixc(floor_c + l.grid * (0.35 * glow * fade), l.grid, line * (0.4 + 0.6 * fade));
}

const std::array<landscape, 5> landscapes = {{
    {&sunset, hex(0x0c0020), hex(0xb0207a), hex(0xfff25a), hex(0xff2a6a), hex(0x14001e),
     hex(0xff50c0), hex(0xff30b0), 160.0, 88.0, 62.0, 124.0, 0, true, false, false, 11},
    {&ice, hex(0x000410), hex(0x104a8a), hex(0xeaffff), hex(0x40c8ff), hex(0x020a1a), hex(0x60f0ff),
     hex(0x20d0ff), 228.0, 52.0, 30.0, 130.0, 1, false, true, false, 23},
    {&fire, hex(0x1a0000), hex(0xff5a10), hex(0xffffa0), hex(0xffb020), hex(0x200400),
     hex(0xffd040), hex(0xff4000), 96.0, 96.0, 48.0, 118.0, 2, true, false, false, 37},
    {&violet, hex(0x02000c), hex(0x5a108a), hex(0xffd0ff), hex(0xb040ff), hex(0x0c0018),
     hex(0xff70e0), hex(0xc050ff), 150.0, 66.0, 34.0, 128.0, 0, false, true, true, 51},
    {&gold, hex(0x100400), hex(0xe07010), hex(0xffffff), hex(0xffd040), hex(0x1a0800),
     hex(0xfff080), hex(0xffa000), 160.0, 120.0, 78.0, 122.0, 1, true, false, false, 73},
}};

// --- stage 2: tunnels -------------------------------------------------------------------

struct tunnel {
    const palette *pal;
    double cx, cy, depth, twist;
    int segments;
    int pattern; // 0 checker, 1 rings, 2 spokes
    bool square;
    col light;
};

col draw_tunnel(const tunnel &t, double x, double y) {
    double dx = x - t.cx, dy = y - t.cy;
    double r =
        t.square ? std::fmax(std::fabs(dx), std::fabs(dy) * 1.45) : std::sqrt(dx * dx + dy * dy);
    double a = arctan2(dy, dx);
    double u = t.depth / (r + 2.0);
    double v = a / two_pi * t.segments + t.twist * u;
    bool cell;
    switch (t.pattern) {
    case 0:
        cell = (((long)std::floor(u) + (long)std::floor(v)) & 1) != 0;
        break;
    case 1:
        cell = fract(u) < 0.45;
        break;
    default:
        cell = fract(v) < 0.5;
        break;
    }
    double fog = clamp01((r - 6.0) / 150.0);
    fog = std::sqrt(fog);
    col on = grad(*t.pal, 0.25 + 0.75 * fog), off = grad(*t.pal, 0.12 * fog) * fog;
    // Deep in the tunnel the rings come closer than a pixel or two: blend them into their
    // mean there instead of letting them alias into moire.
    double pitch = (r + 2.0) * (r + 2.0) / t.depth;
    col c = mixc(mixc(on, off, 0.5), cell ? on : off, smooth(1.0, 4.0, pitch));
    double lr = r / 7.0;
    return c + t.light * (1.0 / (1.0 + lr * lr * lr));
}

const std::array<tunnel, 5> tunnels = {{
    {&sunset, 160.0, 100.0, 900.0, 0.0, 16, 0, false, hex(0xffffc0)},
    {&ice, 190.0, 90.0, 1100.0, 1.0, 12, 0, false, hex(0xe0ffff)},
    {&fire, 160.0, 100.0, 700.0, 0.0, 8, 1, true, hex(0xfff0a0)},
    {&toxic, 130.0, 110.0, 1000.0, 2.0, 10, 2, false, hex(0xf0ffd0)},
    {&violet, 160.0, 96.0, 800.0, 0.5, 12, 0, true, hex(0xffe0ff)},
}};

// --- stage 3: interference rings --------------------------------------------------------

struct interference {
    const palette *pal;
    std::array<double, 6> src; // three sources as x, y; a source at x < 0 is absent
    double freq;
    int mode; // 0 rings xor, 1 banded sum, 2 rings xor stripes
};

col draw_interference(const interference &p, double x, double y) {
    double sum = 0.0;
    int parity = 0;
    int n = 0;
    for (int k = 0; k < 3; ++k) {
        if (p.src[2 * k] < 0.0)
            continue;
        double dx = x - p.src[2 * k], dy = y - p.src[2 * k + 1];
        double d = std::sqrt(dx * dx + dy * dy);
        double s = sine(d * p.freq);
        sum += s;
        parity ^= s > 0.0 ? 1 : 0;
        ++n;
    }
    if (p.mode == 2)
        parity ^= fract((x + y * 0.5) / 24.0) < 0.5 ? 1 : 0;
    double shade = 0.55 + 0.45 * (1.0 - y / 200.0) * (0.5 + 0.5 * x / 320.0);
    if (p.mode == 1) {
        double t = (sum / n + 1.0) * 0.5;
        int band = (int)(t * 5.0);
        band = band > 4 ? 4 : band;
        return grad(*p.pal, band / 4.0) * (0.5 + 0.5 * shade);
    }
    return parity ? grad(*p.pal, 0.45 + 0.55 * shade) : grad(*p.pal, 0.05) * 0.6;
}

const std::array<interference, 5> interferences = {{
    {&sunset, {110.0, 100.0, 210.0, 100.0, -1.0, 0.0}, 0.16, 0},
    {&ice, {60.0, 40.0, 260.0, 60.0, 160.0, 180.0}, 0.12, 1},
    {&gold, {160.0, 100.0, -1.0, 0.0, -1.0, 0.0}, 0.2, 2},
    {&violet, {0.0, 200.0, 320.0, 200.0, 160.0, -60.0}, 0.09, 0},
    {&fire, {90.0, 70.0, 230.0, 130.0, -1.0, 0.0}, 0.07, 1},
}};

// --- stage 4: contour plasma ------------------------------------------------------------

struct plasma {
    const palette *pal;
    double a, b, c, e, phase;
    int levels;
};

col draw_plasma(const plasma &p, double x, double y) {
    double dx = x - 160.0, dy = y - 100.0;
    double v = sine(x * p.a + p.phase) + sine(y * p.b + 2.0 * p.phase) + sine((x + y) * p.c + 0.5) +
               sine(std::sqrt(dx * dx + dy * dy) * p.e);
    double t = (v + 4.0) / 8.0 * p.levels;
    double level = std::floor(t) / (p.levels - 1);
    double f = fract(t);
    col c = grad(*p.pal, level);
    if (f < 0.14)
        return c * 0.12;
    if (f > 0.86)
        return mixc(c, hex(0xffffff), 0.35);
    return c;
}

const std::array<plasma, 5> plasmas = {{
    {&toxic, 0.031, 0.043, 0.017, 0.05, 0.3, 7},
    {&sunset, 0.022, 0.051, 0.029, 0.07, 1.1, 8},
    {&ice, 0.047, 0.027, 0.011, 0.09, 2.0, 6},
    {&fire, 0.018, 0.036, 0.041, 0.04, 2.7, 7},
    {&violet, 0.039, 0.019, 0.023, 0.11, 4.2, 9},
}};

// --- stage 5: fractals ------------------------------------------------------------------

struct fractal {
    const palette *pal;
    int kind; // 0 Mandelbrot, 1 Julia
    double cx, cy, scale, jr, ji;
    int max_iter, cycle;
};

col draw_fractal(const fractal &f, double x, double y) {
    double px = f.cx + (x - 160.0) * f.scale;
    double py = f.cy + (y - 100.0) * f.scale;
    double zr = f.kind == 1 ? px : 0.0, zi = f.kind == 1 ? py : 0.0;
    double cr = f.kind == 1 ? f.jr : px, ci = f.kind == 1 ? f.ji : py;
    int n = 0;
    for (; n < f.max_iter; ++n) {
        double rr = zr * zr, ii = zi * zi;
        if (rr + ii > 16.0)
            break;
        zi = 2.0 * zr * zi + ci;
        zr = rr - ii + cr;
    }
    if (n == f.max_iter)
        return {0.0, 0.0, 0.0};
    double t = fract((double)n / f.cycle);
    col c = grad(*f.pal, 0.2 + 0.8 * t);
    return (n & 1) ? c : c * 0.72;
}

const std::array<fractal, 5> fractals = {{
    {&fire, 0, -0.62, 0.0, 0.0095, 0.0, 0.0, 200, 24},
    {&ice, 1, 0.0, 0.0, 0.0105, -0.8, 0.156, 220, 20},
    {&violet, 0, -0.7435, 0.1314, 0.000022, 0.0, 0.0, 400, 30},
    {&gold, 1, 0.0, 0.0, 0.0088, -0.123, 0.745, 200, 12},
    {&toxic, 1, 0.0, 0.0, 0.0092, 0.285, 0.01, 260, 26},
}};

// --- stage 6: finale --------------------------------------------------------------------

col draw_ball(double x, double y) {
    const double bx = 160.0, by = 92.0, r = 78.0;
    double dx = x - bx, dy = y - by;
    double d2 = dx * dx + dy * dy;
    if (d2 < r * r) {
        double nx = dx / r, ny = dy / r, nz = std::sqrt(1.0 - nx * nx - ny * ny);
        // tilt the ball 0.35 rad round the view axis
        const double ct = 0.93937271, st = 0.34289781;
        double tx = nx * ct - ny * st, ty = nx * st + ny * ct;
        double lon = arctan2(tx, nz) + 0.3;
        double lat = arctan2(ty, std::sqrt(tx * tx + nz * nz));
        bool cell =
            (((long)std::floor(lon * 8.0 / pi) + (long)std::floor(lat * 8.0 / pi)) & 1) != 0;
        double lit = clamp01(-0.45 * nx - 0.55 * ny + 0.7 * nz);
        double spec = lit * lit;
        spec *= spec;
        spec *= spec;
        col base = cell ? hex(0xff2a6a) : hex(0xfff0e0);
        return base * (0.3 + 0.7 * lit) + hex(0xffffff) * (0.6 * spec);
    }
    double sx = (x - bx - 26.0) / (r * 1.05), sy = (y - 180.0) / (r * 0.22);
    double shadow = sx * sx + sy * sy < 1.0 ? 0.35 : 1.0;
    double gx = edge_dist(x / 20.0) * 20.0, gy = edge_dist(y / 20.0) * 20.0;
    double line = clamp01(1.6 - std::fmin(gx, gy));
    col bg = mixc(hex(0x14002a), hex(0xb030c0), line);
    return bg * shadow;
}

col draw_starburst(double x, double y) {
    double dx = x - 160.0, dy = y - 100.0;
    double r = std::sqrt(dx * dx + dy * dy);
    double a = arctan2(dy, dx);
    double ray = fract(a / two_pi * 24.0 + r * 0.004);
    col c = ray < 0.5 ? grad(gold, 0.85 - r / 500.0) : grad(sunset, 0.3 - r / 1200.0);
    double ring = edge_dist(r / 22.0) * 22.0;
    if (r > 40.0 && ring < 2.0)
        c = hex(0x200010);
    if (r < 34.0)
        c = mixc(hex(0xffffff), hex(0xffd040), r / 34.0);
    return c;
}

col draw_kaleidoscope(double x, double y) {
    double dx = x - 160.0, dy = y - 100.0;
    double r = std::sqrt(dx * dx + dy * dy);
    double a = arctan2(dy, dx);
    const double wedge = two_pi / 8.0;
    double w = a - wedge * std::floor(a / wedge);
    if (w > wedge * 0.5)
        w = wedge - w;
    double px = r * cosine(w), py = r * sine(w);
    double v = sine(px * 0.06) + sine(py * 0.11 + 1.0) + sine((px + py) * 0.045) + sine(r * 0.05);
    double t = (v + 4.0) / 8.0 * 6.0;
    double f = fract(t);
    col c = grad(violet, std::floor(t) / 5.0 * 0.7 + 0.3);
    if (f < 0.18)
        c = grad(ice, 0.9) * (r < 90.0 ? 1.0 : 0.2);
    return c * clamp01(1.25 - r / 220.0);
}

col draw_spiral(double x, double y) {
    double dx = x - 160.0, dy = y - 100.0;
    double r = std::sqrt(dx * dx + dy * dy);
    double a = arctan2(dy, dx);
    double s = fract(a / two_pi * 3.0 + std::sqrt(r) * 0.55);
    double core = clamp01(1.0 - r / 18.0);
    col arm = grad(fire, 0.5 + 0.5 * clamp01(1.0 - r / 190.0));
    col c = s < 0.5 ? arm : hex(0x0c0008);
    if (s >= 0.5 && s < 0.56)
        c = hex(0xff3080);
    return mixc(c, hex(0xffffe0), core);
}

col draw_step(int step, double x, double y) {
    if (step < 5)
        return draw_landscape(landscapes[step], x, y);
    if (step < 10)
        return draw_tunnel(tunnels[step - 5], x, y);
    if (step < 15)
        return draw_interference(interferences[step - 10], x, y);
    if (step < 20)
        return draw_plasma(plasmas[step - 15], x, y);
    if (step < 25)
        return draw_fractal(fractals[step - 20], x, y);
    switch (step) {
    case 25:
        return draw_ball(x, y);
    case 26:
        return draw_starburst(x, y);
    case 27:
        return draw_kaleidoscope(x, y);
    default:
        return draw_spiral(x, y);
    }
}

std::uint8_t to_byte(double v) {
    v = clampd(v, 0.0, 255.0);
    return (std::uint8_t)(v + 0.5);
}

// 3x3 samples a pixel keep the bold edges smooth, which also keeps the JPEG clean.
template <class F> void render(std::vector<std::uint8_t> &rgb, F shade) {
    rgb.assign((std::size_t)picture_width * picture_height * 3, 0);
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x) {
            col sum = {0.0, 0.0, 0.0};
            for (int sy = 0; sy < 3; ++sy)
                for (int sx = 0; sx < 3; ++sx)
                    sum = sum + shade(x + (sx + 0.5) / 3.0, y + (sy + 0.5) / 3.0);
            std::uint8_t *p = &rgb[((std::size_t)y * picture_width + x) * 3];
            p[0] = to_byte(sum.r / 9.0);
            p[1] = to_byte(sum.g / 9.0);
            p[2] = to_byte(sum.b / 9.0);
        }
}

// --- the title ------------------------------------------------------------------------

double segment_dist(double px, double py, double ax, double ay, double bx, double by) {
    double vx = bx - ax, vy = by - ay, wx = px - ax, wy = py - ay;
    double t = clamp01((wx * vx + wy * vy) / (vx * vx + vy * vy));
    double ex = wx - vx * t, ey = wy - vy * t;
    return std::sqrt(ex * ex + ey * ey);
}

// Distance from (x, y) to the centre lines of the letters U, L, V, O: bold strokes of one
// width, laid out on a slant so the word leans forward.
constexpr double letter_top = 40.0, letter_bottom = 136.0, stroke = 11.0;

double word_dist(double x, double y) {
    x += (y - 88.0) * 0.2; // slant
    const double top = letter_top + stroke, bottom = letter_bottom - stroke;
    const double width = 64.0, gap = 12.0, left = 160.0 - (4.0 * width + 3.0 * gap) / 2.0;
    double best = 1e9;
    for (int k = 0; k < 4; ++k) {
        double l = left + k * (width + gap) + stroke, r = left + k * (width + gap) + width - stroke;
        double m = (l + r) / 2.0, rad = (r - l) / 2.0;
        double d = 1e9;
        switch (k) {
        case 0: { // U
            double by = bottom - rad;
            d = std::fmin(segment_dist(x, y, l, top, l, by), segment_dist(x, y, r, top, r, by));
            if (y >= by) {
                double dx = x - m, dy = y - by;
                d = std::fmin(d, std::fabs(std::sqrt(dx * dx + dy * dy) - rad));
            }
            break;
        }
        case 1: // L
            d = std::fmin(segment_dist(x, y, l, top, l, bottom),
                          segment_dist(x, y, l, bottom, r + 4.0, bottom));
            break;
        case 2: // V
            d = std::fmin(segment_dist(x, y, l - 2.0, top, m, bottom),
                          segment_dist(x, y, r + 2.0, top, m, bottom));
            break;
        default: // O
            d = std::fabs(segment_dist(x, y, m, top + rad, m, bottom - rad) - rad);
            break;
        }
        best = std::fmin(best, d);
    }
    return best - stroke;
}

col draw_title_at(double x, double y) {
    const double horizon = 150.0;
    col c;
    if (y < horizon) {
        double t = y / horizon;
        c = mixc(hex(0x05000e), hex(0x4a0a5e), t * t);
        std::uint32_t cell = (std::uint32_t)(x / 6.0) * 733u + (std::uint32_t)(y / 6.0) * 191u;
        if (hash01(cell) < 0.08) {
            double sx = std::floor(x / 6.0) * 6.0 + 3.0, sy = std::floor(y / 6.0) * 6.0 + 3.0;
            if ((x - sx) * (x - sx) + (y - sy) * (y - sy) < 0.8)
                c = mixc(c, hex(0xffffff), 1.0 - t);
        }
        double dx = x - 160.0, dy = y - 118.0, d = std::sqrt(dx * dx + dy * dy);
        bool sun = d < 76.0 && !(dy > 0.0 && fract(dy / 12.0) < dy / 60.0);
        if (sun)
            c = mixc(hex(0xfff060), hex(0xff2070), clamp01((y - 42.0) / 108.0));
        else if (d >= 76.0)
            c = c + hex(0xff2070) * (0.35 * clamp01(1.0 - (d - 76.0) / 60.0));
    } else {
        double dy = y - horizon + 0.5, z = 60.0 / dy;
        double du = edge_dist((x - 160.0) * z / 26.0) * 26.0 / z,
               dv = edge_dist(z + 0.2) * dy * dy / 60.0;
        double line = std::fmax(clamp01(1.3 - du), clamp01(1.3 - dv)) * smooth(0.0, 24.0, dy);
        c = mixc(hex(0x0a0014), hex(0xff40c0), line);
    }
    double shadow = word_dist(x - 6.0, y - 7.0);
    if (shadow < 0.0)
        c = c * 0.25;
    double d = word_dist(x, y);
    if (d > 0.0)
        return c + hex(0xff30d0) * (0.7 / (1.0 + (d / 5.0) * (d / 5.0)));
    if (d > -2.0)
        return hex(0xffffff);
    if (d > -3.5)
        return hex(0x12001c);
    // chrome: sky above the letters' horizon line, sunset below it
    double mid = (letter_top + letter_bottom) / 2.0 + 4.0;
    if (y < mid)
        return mixc(hex(0xffffff), hex(0x2050d0), clamp01((y - letter_top) / (mid - letter_top)));
    if (y < mid + 1.5)
        return hex(0xffffff);
    return mixc(hex(0x500060), hex(0xffc030), clamp01((y - mid) / (letter_bottom - mid)));
}

} // namespace

void draw_picture(int number, std::vector<std::uint8_t> &rgb) {
    int step = (number + picture_count - 15) % picture_count;
    render(rgb, [step](double x, double y) { return draw_step(step, x, y); });
}

void draw_title(std::vector<std::uint8_t> &rgb) {
    render(rgb, draw_title_at);
}

} // namespace md
