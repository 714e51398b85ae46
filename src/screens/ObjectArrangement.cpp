#include "ObjectArrangement.h"

#include <algorithm>
#include <limits>

namespace halvane {

namespace {

int32_t Saturated(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// One axis of a drawn area: where it begins and where it ends (exclusive).
struct Span {
    int64_t begin = 0;
    int64_t end = 0;
    int64_t Length() const { return end - begin; }
};

Span SpanOf(const TScreenMarker& object, bool horizontal) {
    const MarkerRect& b = object.Bounds;
    return horizontal ? Span{b.Left, b.Right} : Span{b.Top, b.Bottom};
}

void ShiftAlong(TScreenMarker& object, bool horizontal, int64_t by) {
    Shift(object, horizontal ? by : 0, horizontal ? 0 : by);
}

bool IsHorizontal(Alignment alignment) {
    return alignment == Alignment::Left || alignment == Alignment::Right ||
           alignment == Alignment::HorizontalCentres;
}

} // namespace

void Shift(TScreenMarker& object, int64_t dx, int64_t dy) {
    for (int32_t* x : {&object.Left, &object.Right, &object.Bounds.Left, &object.Bounds.Right})
        *x = Saturated(*x + dx);
    for (int32_t* y : {&object.Top, &object.Bottom, &object.Bounds.Top, &object.Bounds.Bottom})
        *y = Saturated(*y + dy);
}

void Align(ObjectList& objects, const std::vector<int>& indices, Alignment alignment) {
    if (indices.size() < 2)
        return;
    const bool horizontal = IsHorizontal(alignment);
    Span all{std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()};
    for (const int index : indices) {
        const Span span = SpanOf(objects[static_cast<size_t>(index)], horizontal);
        all = {std::min(all.begin, span.begin), std::max(all.end, span.end)};
    }
    for (const int index : indices) {
        TScreenMarker& object = objects[static_cast<size_t>(index)];
        const Span span = SpanOf(object, horizontal);
        switch (alignment) {
        case Alignment::Left:
        case Alignment::Top:
            ShiftAlong(object, horizontal, all.begin - span.begin);
            break;
        case Alignment::Right:
        case Alignment::Bottom:
            ShiftAlong(object, horizontal, all.end - span.end);
            break;
        case Alignment::HorizontalCentres:
        case Alignment::VerticalCentres:
            ShiftAlong(object, horizontal, (all.begin + all.end) / 2 - (span.begin + span.end) / 2);
            break;
        }
    }
}

// The gaps share the free space between the first and the last object; the first gaps
// take the pixels left over from the division.
void Distribute(ObjectList& objects, const std::vector<int>& indices, Distribution distribution) {
    if (indices.size() < 3)
        return;
    const bool horizontal = distribution == Distribution::Horizontally;
    std::vector<int> order = indices;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return SpanOf(objects[static_cast<size_t>(a)], horizontal).begin <
               SpanOf(objects[static_cast<size_t>(b)], horizontal).begin;
    });
    const Span first = SpanOf(objects[static_cast<size_t>(order.front())], horizontal);
    const Span last = SpanOf(objects[static_cast<size_t>(order.back())], horizontal);
    int64_t covered = 0;
    for (size_t i = 1; i + 1 < order.size(); ++i)
        covered += SpanOf(objects[static_cast<size_t>(order[i])], horizontal).Length();
    const int64_t gaps = static_cast<int64_t>(order.size()) - 1;
    const int64_t free = last.begin - first.end - covered;
    // Floor division, so that overlapping objects (a negative free space) stay in order.
    const int64_t gap = free >= 0 ? free / gaps : -((-free + gaps - 1) / gaps);
    int64_t leftOver = free - gap * gaps;
    int64_t next = first.end;
    for (size_t i = 1; i + 1 < order.size(); ++i) {
        next += gap + (leftOver > 0 ? 1 : 0);
        leftOver = std::max<int64_t>(leftOver - 1, 0);
        TScreenMarker& object = objects[static_cast<size_t>(order[i])];
        const Span span = SpanOf(object, horizontal);
        ShiftAlong(object, horizontal, next - span.begin);
        next += span.Length();
    }
}

} // namespace halvane
