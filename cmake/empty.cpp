// Placeholder translation unit for a library whose folder has no sources yet.
namespace { [[maybe_unused]] int qrEmptyTranslationUnit = 0; }
