// DrawText: lines, alignment, prefixes and ellipses over GDI's text calls.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <windows.h>

namespace {

int widthOf(HDC dc, const std::string& text) {
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// Bytes of the UTF-8 character that starts at i.
std::size_t charLength(const std::string& s, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return std::min(n, s.size() - i);
}

// The start of the character that ends at i (exclusive).
std::size_t previousChar(const std::string& s, std::size_t i) {
    if (i == 0) return 0;
    --i;
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    return i;
}

// Removes '&' prefixes ("&&" stands for '&'); returns the byte offset of the
// character to underline, or npos.
std::size_t stripPrefixes(std::string& line) {
    std::string out;
    std::size_t underline = std::string::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '&' && i + 1 < line.size()) {
            ++i;
            if (line[i] != '&') underline = out.size();
        } else if (line[i] == '&') {
            continue;
        }
        out.push_back(line[i]);
    }
    line = std::move(out);
    return underline;
}

std::string endEllipsis(HDC dc, const std::string& text, int width) {
    std::string cut = text;
    while (!cut.empty() && widthOf(dc, cut + "...") > width) cut.erase(previousChar(cut, cut.size()));
    return cut + "...";
}

std::string wordEllipsis(HDC dc, const std::string& text, int width) {
    std::string cut = text;
    while (!cut.empty() && widthOf(dc, cut + "...") > width) {
        std::size_t space = cut.find_last_of(' ');
        cut.erase(space == std::string::npos ? 0 : space);
        while (!cut.empty() && cut.back() == ' ') cut.pop_back();
    }
    return cut + "...";
}

// Keeps the last part of a path (from its last separator) and shortens the
// part before it from its end, so the ellipsis sits in the middle.
std::string pathEllipsis(HDC dc, const std::string& text, int width, bool alsoEnd) {
    std::size_t slash = text.find_last_of("\\/");
    if (slash == std::string::npos || slash == 0) return alsoEnd ? endEllipsis(dc, text, width) : text;
    std::string head = text.substr(0, slash), tail = text.substr(slash);
    while (!head.empty()) {
        std::string candidate = head + "..." + tail;
        if (widthOf(dc, candidate) <= width) return candidate;
        head.erase(previousChar(head, head.size()));
    }
    std::string shortest = "..." + tail;
    if (alsoEnd && widthOf(dc, shortest) > width) return endEllipsis(dc, shortest, width);
    return shortest;
}

std::string expandTabs(HDC dc, const std::string& line) {
    if (line.find('\t') == std::string::npos) return line;
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    int stop = std::max(1L, 8L * tm.tmAveCharWidth);
    int spaceWidth = std::max(1, widthOf(dc, " "));
    std::string out;
    for (char c : line) {
        if (c != '\t') {
            out.push_back(c);
            continue;
        }
        int at = widthOf(dc, out);
        int next = (at / stop + 1) * stop;
        do out.push_back(' ');
        while (widthOf(dc, out) + spaceWidth <= next);
    }
    return out;
}

// Breaks a paragraph into lines no wider than width, at spaces where it can.
void wrap(HDC dc, const std::string& paragraph, int width, std::vector<std::string>& lines) {
    std::string rest = paragraph;
    while (true) {
        if (widthOf(dc, rest) <= width || rest.empty()) {
            lines.push_back(rest);
            return;
        }
        std::size_t fit = 0, lastSpace = std::string::npos;
        for (std::size_t i = 0; i < rest.size(); i += charLength(rest, i)) {
            std::size_t next = i + charLength(rest, i);
            if (widthOf(dc, rest.substr(0, next)) > width) break;
            fit = next;
            if (rest[i] == ' ') lastSpace = i;
        }
        std::size_t cut = lastSpace != std::string::npos ? lastSpace : std::max<std::size_t>(fit, charLength(rest, 0));
        std::string line = rest.substr(0, cut);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
        std::size_t from = cut;
        while (from < rest.size() && rest[from] == ' ') ++from;
        rest.erase(0, from);
        if (rest.empty()) return;
    }
}

}  // namespace

extern "C" {

int WINAPI DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format) {
    if (!text || !rect) return 0;
    TEXTMETRICA tm{};
    if (!GetTextMetricsA(dc, &tm)) return 0;
    try {
        std::string all = count < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(count));
        int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
        int width = rect->right - rect->left;

        std::vector<std::string> lines;
        if (format & DT_SINGLELINE) {
            lines.push_back(all);
        } else {
            std::size_t start = 0;
            while (true) {
                std::size_t end = all.find_first_of("\r\n", start);
                std::string paragraph = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
                if (format & DT_EXPANDTABS) paragraph = expandTabs(dc, paragraph);
                if (format & DT_WORDBREAK)
                    wrap(dc, paragraph, width, lines);
                else
                    lines.push_back(paragraph);
                if (end == std::string::npos) break;
                start = end + ((all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n') ? 2 : 1);
            }
        }

        std::vector<std::size_t> underlines(lines.size(), std::string::npos);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!(format & DT_NOPREFIX)) underlines[i] = stripPrefixes(lines[i]);
            if (widthOf(dc, lines[i]) > width) {
                std::string before = lines[i];
                if (format & DT_PATH_ELLIPSIS)
                    lines[i] = pathEllipsis(dc, lines[i], width, format & DT_END_ELLIPSIS);
                else if (format & DT_END_ELLIPSIS)
                    lines[i] = endEllipsis(dc, lines[i], width);
                else if (format & DT_WORD_ELLIPSIS)
                    lines[i] = wordEllipsis(dc, lines[i], width);
                if (lines[i] != before && underlines[i] != std::string::npos &&
                    (underlines[i] >= lines[i].size() || lines[i].compare(0, underlines[i] + 1, before, 0, underlines[i] + 1) != 0))
                    underlines[i] = std::string::npos;
            }
        }
        // The shortened text goes back to the caller's buffer only where it
        // fits in what the caller handed in.
        if ((format & DT_MODIFYSTRING) && (format & DT_SINGLELINE) && count != 0 &&
            (format & (DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) && lines[0] != all) {
            std::size_t room = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
            if (lines[0].size() <= room) {
                char* out = const_cast<char*>(text);
                std::memcpy(out, lines[0].data(), lines[0].size());
                if (lines[0].size() < room) out[lines[0].size()] = 0;
            }
        }

        int y = rect->top;
        int total = static_cast<int>(lines.size()) * lineHeight;
        if (format & DT_SINGLELINE) {
            if (format & DT_VCENTER)
                y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
            else if (format & DT_BOTTOM)
                y = rect->bottom - lineHeight;
        }
        if (format & DT_CALCRECT) {
            int widest = 0;
            for (const std::string& line : lines) widest = std::max(widest, widthOf(dc, line));
            rect->right = rect->left + widest;
            rect->bottom = rect->top + total;
            return total;
        }
        UINT previousAlign = SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        RECT clip = *rect;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            int lineWidth = widthOf(dc, line);
            int x = rect->left;
            if (format & DT_CENTER)
                x = rect->left + (width - lineWidth) / 2;
            else if (format & DT_RIGHT)
                x = rect->right - lineWidth;
            if (!(format & DT_PREFIXONLY))
                ExtTextOutA(dc, x, y, (format & DT_NOCLIP) ? 0 : ETO_CLIPPED, &clip, line.data(),
                            static_cast<UINT>(line.size()), nullptr);
            if (underlines[i] != std::string::npos && !(format & DT_HIDEPREFIX) && underlines[i] < line.size()) {
                int from = x + widthOf(dc, line.substr(0, underlines[i]));
                int to = x + widthOf(dc, line.substr(0, underlines[i] + charLength(line, underlines[i])));
                HBRUSH ink = CreateSolidBrush(GetTextColor(dc));
                if (ink) {
                    RECT bar{from, y + tm.tmAscent + 1, to, y + tm.tmAscent + 2};
                    if (!(format & DT_NOCLIP)) {
                        bar.left = std::max(bar.left, clip.left);
                        bar.right = std::min(bar.right, clip.right);
                    }
                    if (bar.left < bar.right && (format & DT_NOCLIP || (bar.top >= clip.top && bar.bottom <= clip.bottom)))
                        FillRect(dc, &bar, ink);
                    DeleteObject(ink);
                }
            }
            y += lineHeight;
        }
        SetTextAlign(dc, previousAlign);
        if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM))) return y - rect->top;
        return total;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // extern "C"
