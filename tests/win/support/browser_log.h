// What the system's web browser was asked to open during a test.
#pragma once

#include "framework/win32.h"

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

namespace qmtest {

// The file the harness's browser stub appends every address it is given to
// (QM_BROWSER_LOG, a Unix path). Shared by every run in the Wine prefix, so
// only the lines added since this object was made count.
class BrowserLog {
public:
    BrowserLog()
    {
        char unixPath[MAX_PATH] = {};
        const DWORD length = ::GetEnvironmentVariableA("QM_BROWSER_LOG", unixPath, MAX_PATH);
        if (length > 0 && length < MAX_PATH && unixPath[0] == '/') {
            m_path = std::string("Z:") + unixPath;
            std::replace(m_path.begin(), m_path.end(), '/', '\\');
        }
        m_skip = AllLines().size();
    }

    bool Known() const { return !m_path.empty(); }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines = AllLines();
        lines.erase(lines.begin(),
                    lines.begin() + static_cast<std::ptrdiff_t>(std::min(m_skip, lines.size())));
        return lines;
    }
    bool Has(const std::string& line) const
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

private:
    std::vector<std::string> AllLines() const
    {
        std::vector<std::string> lines;
        std::ifstream in(m_path);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string m_path;
    std::size_t m_skip = 0;
};

} // namespace qmtest
