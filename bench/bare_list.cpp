// orvan-bare-list FILE: what orvanctl list prints, done with pugixml alone and
// nothing else linked; the baseline of orvan-startup-bench.
#include <pugixml.hpp>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    pugi::xml_document doc;
    if (!doc.load_file(argv[1]))
        return 3;
    std::string out;
    int index = 0;
    for (pugi::xml_node item : doc.child("rss").child("channel").children("item")) {
        out += std::to_string(index++);
        out += '\t';
        out += item.child_value("title");
        out += '\t';
        out += item.child_value("pubDate");
        out += '\t';
        out += item.child_value("link");
        out += '\n';
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
