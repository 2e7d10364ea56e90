#include "render/skinloading.h"

#include "dom/skindocumentloader.h"

Ref<SVGDocument> loadSkinDocument(const std::string& path, XmlLoadResult& result, SkinLoadObserver* observer) {
  return SkinDocumentLoader::loadAs<SVGDocument>(path, result, observer);
}
