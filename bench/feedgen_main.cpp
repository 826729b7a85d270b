// orvan-feedgen POSTS OUT: writes a generated feed for trying the editor or
// orvanctl on large files.
#include "feedgenerator.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvan-feedgen POSTS OUT\n");
        return 2;
    }
    const int posts = std::atoi(argv[1]);
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (posts < 0 || !out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "orvan-feedgen: cannot write %s\n", argv[2]);
        return 1;
    }
    const QByteArray feed = GenerateFeed(posts);
    return out.write(feed) == feed.size() ? 0 : 1;
}
