// Keeps the support library non-empty before any helper exists.
namespace { [[maybe_unused]] int testSupportAnchor = 0; }
