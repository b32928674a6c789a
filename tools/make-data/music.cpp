// The soundtrack, composed to the show's timeline at 120 beats a minute (a beat is half a
// second, so the pictures change every two beats):
//   0-15 s   intro under the title: pad fading in, arpeggio, muffled kicks, a fill
//   15-55 s  groove: four-on-the-floor, offbeat bass, hats, pad and arpeggio ducked by the
//            kick; the lead enters at 35 s
//   55-67 s  build-up: snare roll speeding up, filters opening, noise riser
//   67-68 s  break: two beats of riser alone
//   68-100 s climax for the strobe: rolling bass, supersaw stabs, the lead an octave up
//   100 s    the ending: one last chord and hit, ringing out into silence
// A minor, chords Am F C G, one a bar. Everything is drawn note by note into float buses,
// then delay, reverb, a limiter and normalisation to a finished loudness.
#include "tools/make-data/music.h"

#include "tools/make-data/calc.h"

#include <array>
#include <cmath>
#include <deque>

namespace md {
namespace {

constexpr double sr = sample_rate;
constexpr double length_s = 110.0;
constexpr int frames = (int)(length_s * sr);

// Sections, in beats from the start.
constexpr int groove_b = 30, build_b = 110, break_b = 134, climax_b = 136, end_b = 200;

int at(double seconds) {
    return (int)std::floor(seconds * sr + 0.5);
}
double beat_s(double beat) {
    return beat * 0.5;
}
double note_hz(double midi) {
    return 440.0 * exp2d((midi - 69.0) / 12.0);
}
double db(double x) {
    return expo(x * 0.11512925464970229);
} // 10^(x/20)

double logd(double x) // natural log
{
    int e = 0;
    double m = std::frexp(x, &e); // x = m * 2^e, m in [0.5, 1)
    double s = (m - 1.0) / (m + 1.0), s2 = s * s, term = s, sum = 0.0;
    for (int n = 1; n < 40; n += 2) {
        sum += term / n;
        term *= s2;
    }
    return 2.0 * sum + e * 0.69314718055994530942;
}
double to_db(double x) {
    return x > 0.0 ? 20.0 * logd(x) / 2.302585092994046 : -200.0;
}

struct rng {
    std::uint32_t s;
    double next() // -1..1
    {
        s = s * 1664525u + 1013904223u;
        return (double)(s >> 8) / 8388608.0 - 1.0;
    }
};

// Zero-delay-feedback state-variable filter.
struct svf {
    double ic1 = 0.0, ic2 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0, k = 1.0;
    void set(double fc, double q) {
        fc = clampd(fc, 10.0, sr * 0.45);
        double w = pi * fc / sr;
        double g = sine(w) / cosine(w);
        k = 1.0 / q;
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    double lp = 0.0, bp = 0.0, hp = 0.0;
    void run(double v0) {
        double v3 = v0 - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        lp = v2;
        bp = v1;
        hp = v0 - k * v1 - v2;
    }
};

// Band-limited sawtooth (polyBLEP).
struct saw {
    double phase = 0.0, dt = 0.0;
    double next() {
        double t = phase, b = 0.0;
        if (t < dt) {
            t /= dt;
            b = t + t - t * t - 1.0;
        } else if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            b = t * t + t + t + 1.0;
        }
        double v = 2.0 * phase - 1.0 - b;
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return v;
    }
};

double soft(double x) // gentle saturation, odd and smooth, limits at +-1
{
    x = clampd(x, -1.5, 1.5);
    return x - x * x * x * (4.0 / 27.0);
}

struct chord {
    int bass;
    std::array<int, 3> notes;
};
const chord am = {33, {57, 60, 64}}, ff = {29, {57, 60, 65}}, cc = {36, {55, 60, 64}},
            gg = {31, {55, 59, 62}};
const std::array<const chord *, 4> progression = {&am, &ff, &cc, &gg};

// The bar grid runs from beat -2 until the break; the climax starts a fresh grid at 68 s.
struct bar {
    double start, end; // beats
    const chord *c;
    int index; // bar number within its grid
};

std::vector<bar> bars() {
    std::vector<bar> out;
    out.push_back({0.0, 2.0, &am, 0});
    for (int i = 1; i * 4 - 2 < (int)break_b; ++i) {
        double s = i * 4.0 - 2.0;
        const chord *c = progression[i % 4];
        if (i == 32)
            c = &ff;
        if (i == 33)
            c = &gg;
        out.push_back({s, s + 4.0 > break_b ? climax_b : s + 4.0, c, i});
    }
    for (int i = 0; i < 16; ++i)
        out.push_back({climax_b + i * 4.0, climax_b + i * 4.0 + 4.0, progression[i % 4], i});
    return out;
}

struct mixer {
    std::vector<float> l, r, rev, dly, duck;
    mixer() : l(frames), r(frames), rev(frames), dly(frames), duck(frames, 1.0f) {}
    void put(int i, double a, double b, double rev_send = 0.0, double dly_send = 0.0) {
        if (i < 0 || i >= frames)
            return;
        l[i] += (float)a;
        r[i] += (float)b;
        rev[i] += (float)rev_send;
        dly[i] += (float)dly_send;
    }
};

// Automation: brightness of the pad, bass and arpeggio over the whole track (Hz).
double brightness(double t) {
    if (t < 15.0)
        return 220.0 * exp2d(t / 15.0 * 3.0); // 220 -> 1760
    if (t < 55.0)
        return 1760.0 + 500.0 * sine((t - 15.0) / 16.0 * two_pi);
    if (t < 68.0)
        return 1760.0 * exp2d((t - 55.0) / 13.0 * 2.0); // up two octaves
    if (t < 100.0)
        return 4200.0;
    return 4200.0 * exp2d(-(t - 100.0) * 0.6);
}

// --- drums ------------------------------------------------------------------------------

void kick(mixer &m, double t0, double level, bool click) {
    int i0 = at(t0);
    double phase = 0.0;
    rng n{(std::uint32_t)i0};
    for (int i = 0; i < at(0.45); ++i) {
        double t = i / sr;
        double f = 44.0 + 120.0 * expo(-t / 0.028);
        phase += f / sr;
        double a = expo(-t / 0.30) * clamp01(t / 0.002);
        double v = soft(1.4 * sine(two_pi * phase)) * a;
        if (click && t < 0.006)
            v += n.next() * 0.25 * (1.0 - t / 0.006);
        m.put(i0 + i, v * level, v * level);
    }
}

void clap(mixer &m, double t0, double level) {
    int i0 = at(t0);
    rng n{(std::uint32_t)i0 * 3u + 7u};
    svf f;
    f.set(1400.0, 1.2);
    for (int i = 0; i < at(0.35); ++i) {
        double t = i / sr;
        double burst = t < 0.03 ? expo(-fract(t / 0.01) * 6.0) : 0.0;
        double a = std::fmax(burst, expo(-(t - 0.02) / 0.09) * clamp01((t - 0.02) / 0.002));
        f.run(n.next());
        double v = f.bp * a * level * 1.8;
        m.put(i0 + i, v, v, v * 0.5);
    }
}

void snare(mixer &m, double t0, double level) {
    int i0 = at(t0);
    rng n{(std::uint32_t)i0 * 5u + 3u};
    svf f;
    f.set(2500.0, 0.7);
    double phase = 0.0;
    for (int i = 0; i < at(0.25); ++i) {
        double t = i / sr;
        phase += (180.0 + 60.0 * expo(-t / 0.01)) / sr;
        f.run(n.next());
        double v = 0.5 * sine(two_pi * phase) * expo(-t / 0.05) + 0.8 * f.hp * expo(-t / 0.09);
        v *= level * clamp01(t / 0.001);
        m.put(i0 + i, v * 0.95, v, v * 0.35);
    }
}

void hat(mixer &m, double t0, double level, double decay, double pan) {
    int i0 = at(t0);
    rng n{(std::uint32_t)i0 * 11u + 1u};
    svf f;
    f.set(7500.0, 0.9);
    for (int i = 0; i < at(decay * 6.0); ++i) {
        double t = i / sr;
        f.run(n.next());
        double v = f.hp * expo(-t / decay) * level * clamp01(t / 0.0005);
        m.put(i0 + i, v * (1.0 - pan), v * (1.0 + pan), v * 0.1);
    }
}

void crash(mixer &m, double t0, double level, double decay) {
    int i0 = at(t0);
    rng a{(std::uint32_t)i0 * 13u + 5u}, b{(std::uint32_t)i0 * 17u + 9u};
    svf fa, fb;
    fa.set(5000.0, 0.6);
    fb.set(5200.0, 0.6);
    for (int i = 0; i < at(decay * 7.0); ++i) {
        double t = i / sr;
        fa.run(a.next());
        fb.run(b.next());
        double e = expo(-t / decay) * level * clamp01(t / 0.001);
        m.put(i0 + i, fa.hp * e, fb.hp * e, (fa.hp + fb.hp) * e * 0.3);
    }
}

// --- tonal voices -----------------------------------------------------------------------

// Pad: three detuned saws a note, lowpassed by the brightness curve, kick-ducked.
void pad(mixer &m, double t0, double t1, int note, double level, double attack, double release) {
    int i0 = at(t0), i1 = at(t1 + release * 4.0);
    std::array<saw, 3> osc;
    const double detune[3] = {-0.11, 0.0, 0.12};
    for (int k = 0; k < 3; ++k) {
        osc[k].dt = note_hz(note + detune[k]) / sr;
        osc[k].phase = fract(0.37 * k + note * 0.13);
    }
    svf fl, fr;
    for (int i = i0; i < i1 && i < frames; ++i) {
        double t = (i - i0) / sr;
        if (((i - i0) & 31) == 0) {
            double fc = brightness(i / sr) * (1.0 + 0.002 * note);
            fl.set(fc, 0.8);
            fr.set(fc * 1.03, 0.8);
        }
        double env = clamp01(t / attack);
        if (i / sr > t1)
            env *= expo(-(i / sr - t1) / release);
        double a = osc[0].next(), b = osc[1].next(), c = osc[2].next();
        fl.run(a + 0.7 * b);
        fr.run(c + 0.7 * b);
        double g = env * level * m.duck[i];
        m.put(i, fl.lp * g, fr.lp * g, (fl.lp + fr.lp) * g * 0.6);
    }
}

void bass(mixer &m, double t0, double dur, int note, double level, double accent,
          double release = 0.012) {
    int i0 = at(t0);
    saw o, sub;
    o.dt = note_hz(note) / sr;
    sub.dt = note_hz(note - 12) / sr;
    svf f;
    for (int i = 0; i < at(dur + release * 5.0); ++i) {
        double t = i / sr;
        if ((i & 15) == 0)
            f.set(note_hz(note) * 2.0 +
                      brightness((i0 + i) / sr) * 0.35 * (0.3 + accent * expo(-t / 0.06)),
                  1.6);
        f.run(o.next() + 0.5 * sine(two_pi * sub.phase));
        sub.next();
        double env = clamp01(t / 0.003) * (t < dur ? 1.0 : expo(-(t - dur) / release));
        int k = i0 + i;
        double v = soft(f.lp * 0.9) * env * level * (k < frames ? m.duck[k] : 1.0f);
        m.put(k, v, v);
    }
}

void pluck(mixer &m, double t0, int note, double level, double pan) {
    int i0 = at(t0);
    saw a, b;
    a.dt = note_hz(note) / sr;
    b.dt = note_hz(note + 0.08) / sr;
    b.phase = 0.5;
    svf f;
    for (int i = 0; i < at(0.3); ++i) {
        double t = i / sr;
        if ((i & 15) == 0)
            f.set(300.0 + brightness((i0 + i) / sr) * 1.2 * expo(-t / 0.07), 2.0);
        f.run(a.next() - b.next());
        int k = i0 + i;
        double v =
            f.lp * expo(-t / 0.12) * clamp01(t / 0.002) * level * (k < frames ? m.duck[k] : 1.0f);
        m.put(k, v * (1.0 - pan), v * (1.0 + pan), v * 0.4, v * 0.6);
    }
}

void lead(mixer &m, double t0, double dur, int note, double level) {
    int i0 = at(t0);
    saw a, b;
    a.dt = note_hz(note - 0.06) / sr;
    b.dt = note_hz(note + 0.06) / sr;
    b.phase = 0.3;
    const double base_a = a.dt, base_b = b.dt;
    svf f;
    f.set(3800.0, 0.9);
    for (int i = 0; i < at(dur + 0.4); ++i) {
        double t = i / sr;
        double vib = 1.0 + 0.004 * sine(two_pi * 5.5 * t) * clamp01((t - 0.15) / 0.2);
        a.dt = base_a * vib;
        b.dt = base_b * vib;
        f.run(a.next() + b.next());
        double env = clamp01(t / 0.008) * (0.75 + 0.25 * expo(-t / 0.1));
        if (t > dur)
            env *= expo(-(t - dur) / 0.08);
        double v = f.lp * env * level;
        m.put(i0 + i, v, v, v * 0.5, v * 0.55);
    }
}

// Climax stabs: five saws a note, short, opening on each hit.
void stab(mixer &m, double t0, int note, double level) {
    int i0 = at(t0);
    std::array<saw, 5> o;
    const double det[5] = {-0.2, -0.09, 0.0, 0.1, 0.19};
    for (int k = 0; k < 5; ++k) {
        o[k].dt = note_hz(note + det[k]) / sr;
        o[k].phase = 0.21 * k;
    }
    svf fl, fr;
    for (int i = 0; i < at(0.32); ++i) {
        double t = i / sr;
        if ((i & 15) == 0) {
            double fc = 900.0 + 5000.0 * expo(-t / 0.09);
            fl.set(fc, 1.0);
            fr.set(fc * 1.05, 1.0);
        }
        double v0 = o[0].next(), v1 = o[1].next(), v2 = o[2].next(), v3 = o[3].next(),
               v4 = o[4].next();
        fl.run(v0 + v1 + 0.6 * v2);
        fr.run(v3 + v4 + 0.6 * v2);
        double e = clamp01(t / 0.003) * expo(-t / 0.11) * level;
        m.put(i0 + i, fl.lp * e, fr.lp * e, (fl.lp + fr.lp) * e * 0.5, (fl.lp + fr.lp) * e * 0.2);
    }
}

// Noise riser: a band-pass on noise sweeping from 300 Hz to about 6 kHz as it grows, over [t0, t1].
void riser(mixer &m, double t0, double t1, double level) {
    rng a{12345u}, b{54321u};
    svf fa, fb;
    int i0 = at(t0), i1 = at(t1);
    for (int i = i0; i < i1; ++i) {
        double x = (double)(i - i0) / (i1 - i0);
        if (((i - i0) & 31) == 0) {
            fa.set(300.0 * exp2d(x * 4.3), 2.5);
            fb.set(310.0 * exp2d(x * 4.3), 2.5);
        }
        fa.run(a.next());
        fb.run(b.next());
        double e = x * x * level;
        m.put(i, fa.bp * e, fb.bp * e, (fa.bp + fb.bp) * e * 0.5);
    }
}

// --- effects ----------------------------------------------------------------------------

void delay(mixer &m) {
    const int d = at(0.375); // three sixteenths
    std::vector<float> bl(d), br(d);
    double lpl = 0.0, lpr = 0.0;
    for (int i = 0; i < frames; ++i) {
        int k = i % d;
        double outl = bl[k], outr = br[k];
        lpl += (outl - lpl) * 0.35;
        lpr += (outr - lpr) * 0.35;
        bl[k] = (float)(m.dly[i] + lpr * 0.42); // ping-pong: each echo changes side
        br[k] = (float)(lpl * 0.42);
        m.l[i] += (float)(outl * 0.5);
        m.r[i] += (float)(outr * 0.5);
        m.rev[i] += (float)((outl + outr) * 0.15);
    }
}

// Schroeder-Moorer reverb: eight damped combs and four all-passes a side.
void reverb(mixer &m) {
    const int comb_len[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const int ap_len[4] = {556, 441, 341, 225};
    for (int side = 0; side < 2; ++side) {
        const int spread = side * 23;
        std::vector<std::vector<float>> comb(8), ap(4);
        std::array<double, 8> store{};
        std::array<int, 8> ci{};
        std::array<int, 4> ai{};
        for (int k = 0; k < 8; ++k)
            comb[k].assign(comb_len[k] + spread, 0.0f);
        for (int k = 0; k < 4; ++k)
            ap[k].assign(ap_len[k] + spread, 0.0f);
        std::vector<float> &out = side == 0 ? m.l : m.r;
        for (int i = 0; i < frames; ++i) {
            double in = m.rev[i] * 0.015;
            double acc = 0.0;
            for (int k = 0; k < 8; ++k) {
                double y = comb[k][ci[k]];
                store[k] = y * 0.75 + store[k] * 0.25;
                comb[k][ci[k]] = (float)(in + store[k] * 0.86);
                acc += y;
                if (++ci[k] == (int)comb[k].size())
                    ci[k] = 0;
            }
            for (int k = 0; k < 4; ++k) {
                double b = ap[k][ai[k]];
                ap[k][ai[k]] = (float)(acc + b * 0.5);
                acc = b - acc;
                if (++ai[k] == (int)ap[k].size())
                    ai[k] = 0;
            }
            out[i] += (float)acc;
        }
    }
}

struct biquad {
    double b0, b1, b2, a1, a2, z1 = 0.0, z2 = 0.0;
    double run(double x) {
        double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// Loudness after the K-weighting of ITU-R BS.1770, integrated with its two gates.
double integrated_lufs(const std::vector<double> &l, const std::vector<double> &r) {
    auto make = [](bool shelf) {
        double fc = shelf ? 1681.9744509555319 : 38.13547087613982;
        double q = shelf ? 0.7071752369554193 : 0.5003270373253953;
        double w = two_pi * fc / sr, cs = cosine(w), alpha = sine(w) / (2.0 * q);
        biquad f{};
        double a0;
        if (shelf) {
            double a = db(3.99984385397 / 2.0), sa = std::sqrt(a);
            f.b0 = a * ((a + 1) + (a - 1) * cs + 2 * sa * alpha);
            f.b1 = -2 * a * ((a - 1) + (a + 1) * cs);
            f.b2 = a * ((a + 1) + (a - 1) * cs - 2 * sa * alpha);
            a0 = (a + 1) - (a - 1) * cs + 2 * sa * alpha;
            f.a1 = 2 * ((a - 1) - (a + 1) * cs);
            f.a2 = (a + 1) - (a - 1) * cs - 2 * sa * alpha;
        } else {
            f.b0 = (1 + cs) / 2;
            f.b1 = -(1 + cs);
            f.b2 = (1 + cs) / 2;
            a0 = 1 + alpha;
            f.a1 = -2 * cs;
            f.a2 = 1 - alpha;
        }
        f.b0 /= a0;
        f.b1 /= a0;
        f.b2 /= a0;
        f.a1 /= a0;
        f.a2 /= a0;
        return f;
    };
    const int step = at(0.1), block = 4 * step;
    std::vector<double> sq(l.size() / step + 1, 0.0);
    biquad ls = make(true), lh = make(false), rs = make(true), rh = make(false);
    for (std::size_t i = 0; i < l.size(); ++i) {
        double a = lh.run(ls.run(l[i])), b = rh.run(rs.run(r[i]));
        sq[i / step] += a * a + b * b;
    }
    std::vector<double> blocks;
    for (std::size_t s = 0; s + 4 <= l.size() / step; ++s)
        blocks.push_back((sq[s] + sq[s + 1] + sq[s + 2] + sq[s + 3]) / block);
    auto loud = [](double z) { return -0.691 + 10.0 * logd(z) / 2.302585092994046; };
    double sum = 0.0;
    int n = 0;
    for (double z : blocks)
        if (z > 0.0 && loud(z) > -70.0) {
            sum += z;
            ++n;
        }
    if (n == 0)
        return -70.0;
    double gate = loud(sum / n) - 10.0;
    sum = 0.0;
    n = 0;
    for (double z : blocks)
        if (z > 0.0 && loud(z) > gate) {
            sum += z;
            ++n;
        }
    return loud(sum / n);
}

// Look-ahead peak limiter: the gain reaches each peak's need before the peak arrives
// (minimum over the look-ahead, then a moving average of the same length), and recovers
// slowly. Returns the largest reduction in dB.
double limit(std::vector<double> &l, std::vector<double> &r, double ceiling) {
    const int la = at(0.005);
    const double rel = 1.0 - 1.0 / (0.12 * sr);
    const std::size_t n = l.size();
    std::vector<double> need(n + la, 1.0);
    for (std::size_t i = 0; i < n; ++i) {
        double p = std::fmax(std::fabs(l[i]), std::fabs(r[i]));
        need[i] = p > ceiling ? ceiling / p : 1.0;
    }
    std::deque<std::size_t> win; // indices of a rising run of `need` over the last la+1 samples
    std::vector<double> gain(n + la, 1.0);
    double g = 1.0, sum = 0.0, lowest = 1.0;
    std::vector<double> hist(la, 1.0);
    sum = la;
    for (std::size_t i = 0; i < n + la; ++i) {
        while (!win.empty() && need[win.back()] >= need[i])
            win.pop_back();
        win.push_back(i);
        if (win.front() + la < i)
            win.pop_front();
        double target = need[win.front()];
        g = target < g ? target : g * rel + (1.0 - rel) * target;
        if (g > target)
            g = target;
        sum += g - hist[i % la];
        hist[i % la] = g;
        gain[i] = sum / la;
    }
    for (std::size_t i = 0; i < n; ++i) {
        double k = std::fmin(gain[i + la], need[i]); // the average can round above the need
        lowest = std::fmin(lowest, k);
        l[i] *= k;
        r[i] *= k;
    }
    return to_db(lowest);
}

void arrange(mixer &m) {
    const std::vector<bar> grid = bars();

    // Kicks first: they shape the ducking of everything tonal.
    std::vector<std::pair<double, double>> kicks; // time, level
    for (int b = 22; b < groove_b; ++b)
        kicks.push_back({beat_s(b), 0.45});
    for (int b = groove_b; b < 130; ++b)
        kicks.push_back({beat_s(b), 1.0});
    for (int b = climax_b; b < end_b; ++b)
        kicks.push_back({beat_s(b), 1.0});
    kicks.push_back({beat_s(end_b), 1.0});
    for (auto [t, lv] : kicks) {
        int i0 = at(t);
        double depth = lv < 0.5 ? 0.25 : (t >= beat_s(climax_b) ? 0.65 : 0.55);
        for (int i = -at(0.003); i < at(0.3); ++i) {
            int k = i0 + i;
            if (k < 0 || k >= frames)
                continue;
            double x = i / sr;
            double d =
                x < 0.0 ? depth * (1.0 + x / 0.003) : depth * (1.0 - x / 0.3) * (1.0 - x / 0.3);
            m.duck[k] = (float)std::fmin(m.duck[k], 1.0 - d);
        }
        kick(m, t, 0.72 * lv, lv > 0.5);
    }

    // Pad under everything but the break's last beat.
    for (const bar &b : grid) {
        double t0 = beat_s(b.start), t1 = beat_s(b.end);
        double level = t0 < 15.0 ? 0.05 * clamp01(t0 / 4.0 + 0.4) : (t0 < 68.0 ? 0.03 : 0.032);
        if (b.end >= climax_b && b.start < break_b)
            t1 = beat_s(climax_b) - 0.25; // silence right before the drop
        for (int note : b.c->notes)
            pad(m, t0, t1, note, level, t0 < 1.0 ? 3.0 : 0.05, 0.25);
    }
    for (int note : am.notes) { // the last chord
        pad(m, beat_s(end_b), beat_s(end_b) + 4.5, note, 0.05, 0.01, 1.4);
        pad(m, beat_s(end_b), beat_s(end_b) + 4.5, note - 12, 0.035, 0.01, 1.4);
    }

    for (const bar &b : grid) {
        // arpeggio from 4 s to the break, and through the climax
        const int up[8] = {0, 1, 2, 1, 0, 2, 1, 2};
        for (int s = 0; s < 16 * (int)(b.end - b.start) / 4; ++s) {
            double beat = b.start + s * 0.25;
            if (beat < 8.0 || (beat >= break_b && beat < climax_b))
                continue;
            int note = b.c->notes[up[s % 8]] + 12 + (s % 16 >= 8 ? 12 : 0);
            double lv = beat < groove_b ? 0.10 * clamp01((beat - 8.0) / 16.0 + 0.3) : 0.08;
            pluck(m, beat_s(beat), note, lv, (s & 1) ? 0.35 : -0.35);
        }
        // bass: offbeats in the groove and build, rolling sixteenths in the climax
        if (b.start >= groove_b - 0.01 && b.start < break_b) {
            for (int q = 0; q < 4; ++q) {
                double beat = b.start + q + 0.5;
                bass(m, beat_s(beat), 0.2, b.c->bass + 12, 0.28, q == 3 ? 1.0 : 0.6);
                if (b.start >= 126.0)
                    bass(m, beat_s(beat + 0.25), 0.1, b.c->bass + 24, 0.22, 0.8);
            }
        } else if (b.start >= climax_b) {
            for (int q = 0; q < 16; ++q) {
                if (q % 4 == 0)
                    continue;
                int note = b.c->bass + 12 + (q % 4 == 2 ? 12 : 0);
                bass(m, beat_s(b.start + q * 0.25), 0.1, note, 0.34, q % 4 == 2 ? 1.0 : 0.5);
            }
            for (int q = 0; q < 4; ++q)
                for (int note : b.c->notes)
                    stab(m, beat_s(b.start + q + 0.5), note + 12, 0.034);
        }
    }
    bass(m, beat_s(end_b), 4.0, am.bass + 12, 0.3, 0.3, 1.0);

    // Drums.
    for (int b = groove_b; b < build_b; ++b) {
        int q = (b - groove_b) % 4;
        if (q == 1 || q == 3)
            clap(m, beat_s(b), 0.42);
        hat(m, beat_s(b + 0.5), 0.16, 0.06, 0.2);
        if (b >= groove_b + 16)
            for (int s = 0; s < 4; s += 1)
                if (s != 2)
                    hat(m, beat_s(b + s * 0.25), s == 0 ? 0.07 : 0.05, 0.02, -0.3);
    }
    for (int b : {groove_b, groove_b + 32, groove_b + 64, climax_b, climax_b + 16, climax_b + 32,
                  climax_b + 48})
        crash(m, beat_s(b), 0.22, 0.5);
    for (int s = 0; s < 8; ++s) // fill into the groove
        snare(m, beat_s(28.0 + s * 0.25), 0.15 + 0.05 * s);
    for (int s = 0; s < 4; ++s) // fill into the build
        snare(m, beat_s(109.0 + s * 0.25), 0.3 + 0.08 * s);
    // the roll: quarters, eighths, sixteenths, thirty-seconds
    for (int e = build_b * 8; e < break_b * 8;) { // in eighths of a beat
        double b = e / 8.0;
        double x = (b - build_b) / (break_b - build_b);
        snare(m, beat_s(b), 0.2 + 0.3 * x);
        if (b < 126.0)
            hat(m, beat_s(b + 0.5), 0.14, 0.05, 0.2);
        e += b < 118.0 ? 8 : (b < 126.0 ? 4 : (b < 130.0 ? 2 : 1));
    }
    riser(m, beat_s(build_b), beat_s(climax_b) - 0.25, 0.3);
    riser(m, 9.0, 15.0, 0.2);
    for (int b = climax_b; b < end_b; ++b) {
        int q = (b - climax_b) % 4;
        if (q == 1 || q == 3)
            clap(m, beat_s(b), 0.55);
        hat(m, beat_s(b + 0.5), 0.2, 0.08, 0.2);
        for (int s = 0; s < 4; ++s)
            if (s != 2)
                hat(m, beat_s(b + s * 0.25), s == 0 ? 0.08 : 0.06, 0.02, -0.3);
    }
    for (int s = 0; s < 16; ++s) // fill into the ending
        snare(m, beat_s(196.0 + s * 0.25), 0.2 + 0.02 * s);
    crash(m, beat_s(end_b), 0.35, 1.2);

    // Lead: enters halfway through the groove, returns an octave up for the climax.
    const int groove_tune[4][8] = {{76, -2, 81, -2, 79, 76, 74, -2},
                                   {72, -2, -2, 69, 72, 74, 76, -2},
                                   {79, -2, 76, -2, 72, -2, 74, 76},
                                   {74, -2, -2, -2, 71, -2, 67, -2}};
    const int climax_tune[8][8] = {
        {81, -2, 84, 81, 79, -2, 76, 79}, {77, -2, 76, -2, 72, -2, 69, 72},
        {76, -2, 79, -2, 84, -2, 83, 79}, {79, -2, -2, -2, 74, 76, 79, 83},
        {84, -2, 83, 81, 79, -2, 76, -2}, {77, 76, 77, 79, 81, -2, 77, -2},
        {79, -2, 76, -2, 72, 76, 79, 84}, {86, -2, -2, -2, 83, -2, -2, -2}};
    auto play = [&m](const int *tune, double start_beat, int shift, double level) {
        for (int s = 0; s < 8; ++s) {
            if (tune[s] < 0)
                continue;
            int len = 1;
            while (s + len < 8 && tune[s + len] == -2)
                ++len;
            lead(m, beat_s(start_beat + s * 0.5), len * 0.25 - 0.02, tune[s] + shift, level);
        }
    };
    for (const bar &b : grid) {
        if (b.start >= 70.0 - 0.01 && b.start < build_b)
            play(groove_tune[(b.index) % 4], b.start, 0, 0.085);
        if (b.start >= climax_b)
            play(climax_tune[b.index % 8], b.start, 0, 0.09);
    }
    lead(m, beat_s(end_b), 2.5, 81, 0.08);
}

} // namespace

void make_music(std::vector<std::int16_t> &pcm, loudness &stats) {
    mixer m;
    arrange(m);
    delay(m);
    reverb(m);

    std::vector<double> l(frames), r(frames);
    svf hl, hr;
    hl.set(28.0, 0.7);
    hr.set(28.0, 0.7);
    for (int i = 0; i < frames; ++i) {
        hl.run(m.l[i]);
        hr.run(m.r[i]);
        l[i] = hl.hp;
        r[i] = hr.hp;
    }
    // The groove sits 2 dB under the climax so that the drop at 68 s lands harder; the
    // build-up climbs between the two.
    for (int i = at(15.0) - at(0.5); i < at(68.0); ++i) {
        double t = i / sr;
        double k = t < 55.0 ? db(-2.0) : db(-2.0 + 2.0 * (t - 55.0) / 13.0);
        if (t < 15.0)
            k = db(-2.0 * (t - 14.5) / 0.5);
        l[i] *= k;
        r[i] *= k;
    }
    // the last half second fades to true silence
    for (int i = at(length_s - 0.5); i < frames; ++i) {
        double k = (double)(frames - i) / at(0.5);
        l[i] *= k;
        r[i] *= k;
    }

    // Normalise to a finished loudness: two rounds of gain, limit and measure.
    const double target = -10.0, ceiling = db(-1.0);
    double gain = db(target - integrated_lufs(l, r));
    std::vector<double> ol, orr;
    for (int round = 0; round < 2; ++round) {
        ol = l;
        orr = r;
        for (int i = 0; i < frames; ++i) {
            ol[i] *= gain;
            orr[i] *= gain;
        }
        stats.limited_db = limit(ol, orr, ceiling);
        stats.lufs = integrated_lufs(ol, orr);
        gain *= db(target - stats.lufs);
    }

    pcm.resize((std::size_t)frames * 2);
    double peak = 0.0, sum = 0.0, loudest = 0.0, window = 0.0;
    const int w = at(3.0);
    for (int i = 0; i < frames; ++i) {
        double a = clampd(ol[i], -1.0, 1.0), b = clampd(orr[i], -1.0, 1.0);
        pcm[2 * (std::size_t)i] = (std::int16_t)std::floor(a * 32767.0 + 0.5);
        pcm[2 * (std::size_t)i + 1] = (std::int16_t)std::floor(b * 32767.0 + 0.5);
        peak = std::fmax(peak, std::fmax(std::fabs(a), std::fabs(b)));
        double e = (a * a + b * b) / 2.0;
        sum += e;
        window += e;
        if (i >= w) {
            double o = (ol[i - w] * ol[i - w] + orr[i - w] * orr[i - w]) / 2.0;
            window -= o;
        }
        loudest = std::fmax(loudest, window / w);
    }
    stats.peak_db = to_db(peak);
    stats.rms_db = to_db(std::sqrt(sum / frames));
    stats.loudest_db = to_db(std::sqrt(loudest));
}

} // namespace md
