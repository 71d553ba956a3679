#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/DeviceContexts.h"
#include "platform/FontObject.h"
#include "platform/TextRuns.h"

namespace {

struct Line
{
    std::vector<uint32_t> chars;
    std::vector<uint8_t> marked;   // characters underlined by a '&' prefix
};

bool isBreak(uint32_t c)
{
    return c == '\r' || c == '\n';
}

// Takes out the '&' prefixes ("&&" stands for '&') and marks the characters they precede.
Line stripPrefixes(const char* text, size_t count, bool prefixes)
{
    Line all;
    std::vector<uint32_t> chars = decodeText(text, count);
    for (size_t i = 0; i < chars.size(); ++i) {
        bool mark = false;
        if (prefixes && chars[i] == '&') {
            if (++i == chars.size())
                break;   // a trailing '&' shows nothing
            mark = chars[i] != '&';
        }
        all.chars.push_back(chars[i]);
        all.marked.push_back(mark);
    }
    return all;
}

Line slice(const Line& from, size_t begin, size_t end)
{
    return Line{{from.chars.begin() + begin, from.chars.begin() + end},
                {from.marked.begin() + begin, from.marked.begin() + end}};
}

// Breaks one paragraph at spaces so that each line fits maxWidth; a word wider than that
// stays whole on its own line.
void wrapParagraph(ScaledFont& font, const Line& para, int maxWidth, int tabWidth,
                   std::vector<Line>& lines)
{
    std::vector<int> x = layoutRun(font, para.chars, tabWidth);
    size_t n = para.chars.size(), start = 0;
    do {
        size_t end = n, next = n, lastSpace = n;
        for (size_t j = start; j < n; ++j) {
            if (para.chars[j] == ' ') {
                lastSpace = j;
                continue;
            }
            if (j > start && x[j + 1] - x[start] > maxWidth) {
                if (lastSpace != n && lastSpace > start) {
                    end = lastSpace;
                } else {
                    end = j;
                    while (end < n && para.chars[end] != ' ')
                        ++end;
                }
                next = end;
                break;
            }
        }
        while (end > start && para.chars[end - 1] == ' ')
            --end;
        while (next < n && para.chars[next] == ' ')
            ++next;
        lines.push_back(slice(para, start, end));
        start = next;
    } while (start < n);
}

// Shortens a line that is too wide to what fits followed by "...".
void addEllipsis(ScaledFont& font, Line& line, int maxWidth, int tabWidth)
{
    if (layoutRun(font, line.chars, tabWidth).back() <= maxWidth)
        return;
    static constexpr uint32_t dots[] = {'.', '.', '.'};
    int dotsWidth = layoutRun(font, dots).back();
    std::vector<int> x = layoutRun(font, line.chars, tabWidth);
    size_t keep = line.chars.size();
    while (keep > 0 && x[keep] + dotsWidth > maxWidth)
        --keep;
    line.chars.resize(keep);
    line.marked.resize(keep);
    line.chars.insert(line.chars.end(), std::begin(dots), std::end(dots));
    line.marked.insert(line.marked.end(), 3, 0);
}

std::vector<Line> splitLines(ScaledFont& font, const Line& all, UINT format, int maxWidth,
                             int tabWidth)
{
    std::vector<Line> lines;
    if (format & DT_SINGLELINE) {
        Line one;
        for (size_t i = 0; i < all.chars.size(); ++i)
            if (!isBreak(all.chars[i])) {
                one.chars.push_back(all.chars[i]);
                one.marked.push_back(all.marked[i]);
            }
        lines.push_back(std::move(one));
    } else {
        size_t begin = 0, n = all.chars.size();
        do {
            size_t end = begin;
            while (end < n && !isBreak(all.chars[end]))
                ++end;
            Line para = slice(all, begin, end);
            if (format & DT_WORDBREAK)
                wrapParagraph(font, para, maxWidth, tabWidth, lines);
            else
                lines.push_back(std::move(para));
            // CR, LF and CR LF each end a line; a break at the very end adds no line.
            if (end < n && all.chars[end] == '\r' && end + 1 < n && all.chars[end + 1] == '\n')
                ++end;
            begin = end + 1;
        } while (begin < n);
    }
    if (format & DT_END_ELLIPSIS)
        for (Line& line : lines)
            addEllipsis(font, line, maxWidth, tabWidth);
    return lines;
}

// Intersects the DC's clip with a rectangle for the lifetime of the scope.
class ClipScope
{
public:
    ClipScope(DcObject& dc, const RECT& r) : dc_(dc), hadClip_(dc.hasClip)
    {
        pixman_region32_init(&saved_);
        pixman_region32_copy(&saved_, &dc.clip);
        pixman_region32_t box;
        pixman_region32_init_rect(&box, r.left, r.top, unsigned(std::max<LONG>(0, r.right - r.left)),
                                  unsigned(std::max<LONG>(0, r.bottom - r.top)));
        if (hadClip_)
            pixman_region32_intersect(&dc.clip, &dc.clip, &box);
        else
            pixman_region32_copy(&dc.clip, &box);
        pixman_region32_fini(&box);
        dc.hasClip = true;
    }
    ~ClipScope()
    {
        pixman_region32_copy(&dc_.clip, &saved_);
        pixman_region32_fini(&saved_);
        dc_.hasClip = hadClip_;
    }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    DcObject& dc_;
    bool hadClip_;
    pixman_region32_t saved_;
};

}  // namespace

int DrawTextA(HDC handle, LPCSTR text, int count, RECT* rect, UINT format)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !rect || (!text && count != 0))
        return 0;
    size_t n = count < 0 ? std::strlen(text) : size_t(count);
    LOGFONTA lf = dcLogFont(*dc);
    std::shared_ptr<ScaledFont> font = fontFor(lf);
    if (!font)
        return 0;
    const FontMetrics& m = font->metrics();
    int tabWidth = format & DT_EXPANDTABS ? 8 * std::max(1, m.aveCharWidth) : 0;
    int maxWidth = rect->right - rect->left;
    std::vector<Line> lines =
        splitLines(*font, stripPrefixes(text, n, !(format & DT_NOPREFIX)), format, maxWidth, tabWidth);
    int total = int(lines.size()) * m.height;

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : lines)
            widest = std::max(widest, layoutRun(*font, line.chars, tabWidth).back());
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    // Vertical placement applies to a single line only, as on the original platform.
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - total) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - total;
    }
    PixelSurface* surface = dcSurface(dc);
    if (surface) {
        std::optional<ClipScope> clip;
        if (!(format & DT_NOCLIP))
            clip.emplace(*dc, *rect);
        for (size_t i = 0; i < lines.size(); ++i) {
            std::vector<int> offsets = layoutRun(*font, lines[i].chars, tabWidth);
            int width = offsets.back();
            int x = format & DT_CENTER ? rect->left + (maxWidth - width) / 2
                    : format & DT_RIGHT ? rect->right - width
                                        : rect->left;
            drawRun(*dc, *surface, *font, lf, lines[i].chars, offsets, x, y + int(i) * m.height,
                    lines[i].marked);
        }
    }
    if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)))
        return y - rect->top + total;
    return total;
}
