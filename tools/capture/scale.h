#pragma once
// Sharp scaling, as the full-screen host shows the 320x200 mode on a 4:3 screen: the
// picture is first enlarged by nearest neighbour to the largest whole multiple of its size
// that fits the target, then brought to the target size by linear interpolation. Pixels
// stay crisp; only the remaining fraction is smoothed. Integer arithmetic throughout,
// so that the result is the same on every machine: rows are mixed first, then columns,
// each step rounded to the nearest level.

#include <cstdint>
#include <vector>

class sharp_scaler {
  public:
    sharp_scaler(int src_width, int src_height, int dst_width, int dst_height);

    // dst receives dst_width * dst_height pixels 0x00RRGGBB; the top byte of src is ignored.
    void scale(const std::uint32_t *src, std::uint32_t *dst);

    int dst_width() const { return dst_width_; }
    int dst_height() const { return dst_height_; }

  private:
    // For one target coordinate: the two source pixels it lies between and the weight of
    // the second, in 256ths.
    struct tap {
        int first;
        int second;
        int weight;
    };
    static int whole_multiple(int src_width, int src_height, int dst_width, int dst_height);
    static std::vector<tap> make_taps(int src_size, int dst_size, std::int64_t multiple);

    int src_width_, src_height_, dst_width_, dst_height_;
    std::vector<tap> x_taps_, y_taps_;
    bool x_nearest_;  // no target column mixes two source columns
    bool x_identity_; // and each is the source column of the same index
    int x_repeat_;    // or each source column is repeated this many times (0: neither)
    // One target row before it is scaled across.
    std::vector<std::uint32_t> row_;
};

// The size of the 4:3 picture at a given scale: scale * 320 wide, scale * 240 high.
constexpr int scaled_width(int scale) {
    return 320 * scale;
}
constexpr int scaled_height(int scale) {
    return 240 * scale;
}
