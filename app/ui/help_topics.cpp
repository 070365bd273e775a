// The help's decisions that need no window; see help_topics.h.
#include "app/ui/help_topics.h"

#include <algorithm>
#include <iterator>

namespace qly {

namespace {

struct PageHelp {
    unsigned page;
    const HelpContextEntry* begin;
    const HelpContextEntry* end;
};

const PageHelp kPages[] = {
    {kHelpTrayPrograms, std::begin(kTrayProgramsHelp), std::end(kTrayProgramsHelp)},
    {kHelpUserInterface, std::begin(kUserInterfaceHelp), std::end(kUserInterfaceHelp)},
    {kHelpAdvanced, std::begin(kAdvancedHelp), std::end(kAdvancedHelp)},
    {kHelpAutostart, std::begin(kAutostartHelp), std::end(kAutostartHelp)},
};

const char* PageTopic(unsigned page) {
    for (const HelpPageTopic& t : kHelpPageTopics) {
        if (t.context == page)
            return t.topic;
    }
    return nullptr;
}

}  // namespace

std::string HelpTopicFor(unsigned context) {
    for (const PageHelp& page : kPages) {
        const char* topic = PageTopic(page.page);
        if (topic == nullptr)
            continue;
        if (context == page.page)
            return topic;
        for (const HelpContextEntry* e = page.begin; e != page.end; ++e) {
            if (e->context == context)
                return std::string(topic) + "#c" + std::to_string(context);
        }
    }
    return {};
}

unsigned HelpPopupStringId(unsigned context) {
    for (const PageHelp& page : kPages) {
        for (const HelpContextEntry* e = page.begin; e != page.end; ++e) {
            if (e->context == context)
                return context;
        }
    }
    return 0;
}

std::vector<unsigned> AllHelpContexts() {
    std::vector<unsigned> all;
    for (const PageHelp& page : kPages) {
        all.push_back(page.page);
        for (const HelpContextEntry* e = page.begin; e != page.end; ++e)
            all.push_back(e->context);
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

HelpPoint PopupAnchor(long left, long top, long right, long bottom) {
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    return {left + (right - left) / 2, bottom + 2};
}

HelpProblem DiagnoseHelp(bool viewer_loaded, bool file_exists, bool opened) {
    if (!viewer_loaded)
        return HelpProblem::kViewerMissing;
    if (!file_exists)
        return HelpProblem::kFileMissing;
    return opened ? HelpProblem::kNone : HelpProblem::kNotOpened;
}

std::string NameMissingFile(const std::string& text_template, const std::string& file) {
    const size_t at = text_template.find("%s");
    if (at == std::string::npos)
        return text_template + "\n" + file;
    return text_template.substr(0, at) + file + text_template.substr(at + 2);
}

}  // namespace qly
