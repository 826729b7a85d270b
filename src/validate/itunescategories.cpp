#include "itunescategories.h"

#include <algorithm>
#include <iterator>

namespace {

struct Category {
    std::string_view name;
    std::string_view subcategories;
};

// Apple's list since 2019, names as they read once decoded; the subcategories
// of each are separated by "|".
constexpr Category kCategories[] = {
    {"Arts", "Books|Design|Fashion & Beauty|Food|Performing Arts|Visual Arts"},
    {"Business", "Careers|Entrepreneurship|Investing|Management|Marketing|Non-Profit"},
    {"Comedy", "Comedy Interviews|Improv|Stand-Up"},
    {"Education", "Courses|How To|Language Learning|Self-Improvement"},
    {"Fiction", "Comedy Fiction|Drama|Science Fiction"},
    {"Government", ""},
    {"History", ""},
    {"Health & Fitness", "Alternative Health|Fitness|Medicine|Mental Health|Nutrition|Sexuality"},
    {"Kids & Family", "Education for Kids|Parenting|Pets & Animals|Stories for Kids"},
    {"Leisure",
     "Animation & Manga|Automotive|Aviation|Crafts|Games|Hobbies|Home & Garden|Video Games"},
    {"Music", "Music Commentary|Music History|Music Interviews"},
    {"News",
     "Business News|Daily News|Entertainment News|News Commentary|Politics|Sports News|Tech News"},
    {"Religion & Spirituality",
     "Buddhism|Christianity|Hinduism|Islam|Judaism|Religion|Spirituality"},
    {"Science", "Astronomy|Chemistry|Earth Sciences|Life Sciences|Mathematics|Natural "
                "Sciences|Nature|Physics|Social Sciences"},
    {"Society & Culture", "Documentary|Personal Journals|Philosophy|Places & Travel|Relationships"},
    {"Sports", "Baseball|Basketball|Cricket|Fantasy "
               "Sports|Football|Golf|Hockey|Rugby|Running|Soccer|Swimming|Tennis|Volleyball|"
               "Wilderness|Wrestling"},
    {"Technology", ""},
    {"True Crime", ""},
    {"TV & Film", "After Shows|Film History|Film Interviews|Film Reviews|TV Reviews"},
};

// Top-level names of the list before 2019, which Apple maps but no longer lists.
constexpr std::string_view kObsolete[] = {
    "Games & Hobbies", "Government & Organizations", "Health",
    "News & Politics", "Science & Medicine",         "Sports & Recreation"};

const Category* Find(std::string_view name) {
    for (const Category& category : kCategories) {
        if (category.name == name)
            return &category;
    }
    return nullptr;
}

} // namespace

CategoryCheck CheckItunesCategory(std::string_view category) {
    if (Find(category))
        return CategoryCheck::Known;
    if (std::find(std::begin(kObsolete), std::end(kObsolete), category) != std::end(kObsolete))
        return CategoryCheck::Obsolete;
    return CategoryCheck::Unknown;
}

CategoryCheck CheckItunesSubcategory(std::string_view category, std::string_view subcategory) {
    const Category* parent = Find(category);
    if (!parent)
        return CheckItunesCategory(category) == CategoryCheck::Obsolete ? CategoryCheck::Obsolete
                                                                        : CategoryCheck::Unknown;
    std::string_view rest = parent->subcategories;
    while (!rest.empty() && !subcategory.empty()) {
        const size_t bar = rest.find('|');
        if (rest.substr(0, bar) == subcategory)
            return CategoryCheck::Known;
        if (bar == std::string_view::npos)
            break;
        rest.remove_prefix(bar + 1);
    }
    return CategoryCheck::Unknown;
}
