// Keeps the support library non-empty while it has no other source.
namespace seg4::test {
extern const int kSupportAnchor;
const int kSupportAnchor = 0;
} // namespace seg4::test
