#include "XmlLookup.h"

#include <cstring>

void LoadMinimal(pugi::xml_document& document, const void* data, size_t size) {
  document.load_buffer(data, size, kMinimalParse, pugi::encoding_utf8);
}

pugi::xml_node FirstDescendant(const pugi::xml_node& root, const char* name) {
  // Walks the subtree through the sibling and parent links instead of the call stack.
  pugi::xml_node node = root.first_child();
  while (node) {
    if (node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0) return node;
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && node != root && !node.next_sibling()) node = node.parent();
    if (!node || node == root) break;
    node = node.next_sibling();
  }
  return pugi::xml_node();
}
