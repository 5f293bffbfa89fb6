// Keeps the core library non-empty while its folders fill up.
namespace corvale { void coreLibraryAnchor() {} }
