// The character classes of std::ctype as plain bits: glibc's header takes
// them from its own ctype tables. The archiver uses no locale facets.
namespace std _GLIBCXX_VISIBILITY(default) {
_GLIBCXX_BEGIN_NAMESPACE_VERSION

struct ctype_base {
    typedef const int* __to_type;
    typedef unsigned short mask;
    static const mask upper = 1 << 0;
    static const mask lower = 1 << 1;
    static const mask alpha = 1 << 2;
    static const mask digit = 1 << 3;
    static const mask xdigit = 1 << 4;
    static const mask space = 1 << 5;
    static const mask print = 1 << 6;
    static const mask graph = 1 << 7;
    static const mask cntrl = 1 << 8;
    static const mask punct = 1 << 9;
    static const mask alnum = alpha | digit;
    static const mask blank = 1 << 10;
};

_GLIBCXX_END_NAMESPACE_VERSION
} // namespace std
