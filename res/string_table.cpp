#include "res/string_table.h"

#include <array>

#include "res/resource.h"

namespace {

struct CStringEntry {
    int id;
    const char* text;
};

// Every promotional link goes through the maker's counter script, which records the campaign
// and forwards to the page named by URL.
constexpr std::array kStrings = {
    CStringEntry{IDS_ABOUTBOX, "&About Tavelo Desktop..."},
    CStringEntry{IDS_CAPTION, "Lumivale, Inc. - Tavelo Desktop 2.0"},
    CStringEntry{IDS_NO_ALBUM_TITLE,
                 "The album has no title, and the album's file is named after it.\nType a title "
                 "under Album Info and send the album again."},
    CStringEntry{IDS_TAB_ANNOTATION, "Annotation"},
    CStringEntry{IDS_TAB_COLOR, "Color"},
    CStringEntry{IDS_TAB_SIZE, "Size"},
    CStringEntry{IDS_HELP_USER_GUIDE, "user_guide.html"},
    CStringEntry{IDS_HELP_FAQ, "faq.html"},
    CStringEntry{IDS_HELP_REGISTER, "register_for_free.html"},
    CStringEntry{IDS_UNTITLED, "untitled"},
    CStringEntry{IDS_BANNER_LINK_0,
                 "http://www.lumivale.com/cgi-bin/promo.pl?promo=tavelo_desktop&URL="
                 "http://www.lumivale.com/tavelo/index.html"},
    CStringEntry{IDS_BANNER_LINK_4,
                 "http://www.lumivale.com/cgi-bin/promo.pl?promo=tavelo_register&URL="
                 "http://www.lumivale.com/tavelo/register.html"},
    CStringEntry{IDS_TIP_ADD_FILES, "Add files"},
    CStringEntry{IDS_TIP_SET_ICON, "Set album icon using the selected image"},
    CStringEntry{IDS_TIP_DELETE, "Delete the selected image"},
    CStringEntry{IDS_BANNER_LINK_1,
                 "http://www.lumivale.com/cgi-bin/promo.pl?promo=tavelo_viewer&URL="
                 "http://www.lumivale.com/tavelo/viewer.html"},
    CStringEntry{IDS_BANNER_LINK_2,
                 "http://www.lumivale.com/cgi-bin/promo.pl?promo=tavelo_tips&URL="
                 "http://www.lumivale.com/tavelo/tips.html"},
    CStringEntry{IDS_BANNER_LINK_3,
                 "http://www.lumivale.com/cgi-bin/promo.pl?promo=tavelo_beam&URL="
                 "http://www.lumivale.com/tavelo/share.html"},
};

}  // namespace

QString LoadResString(int id) {
    for (const CStringEntry& entry : kStrings) {
        if (entry.id == id) {
            return QString::fromUtf8(entry.text);
        }
    }
    return {};
}
