// Writes the seed corpus for fuzz_plist: XML and binary property lists with
// every kind of value, so that mutations start from well-formed objects, and
// the structures that once overwhelmed libplist (deep nesting, doubling
// references, a cycle), so that mutations of them are tried too.

#include "HostilePlists.h"
#include "SeedWriter.h"

namespace {

const char kXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
    "\t<key>IconSize</key>\n\t<integer>256</integer>\n"
    "\t<key>Flag</key>\n\t<true/>\n"
    "\t<key>Red</key>\n\t<real>0.25</real>\n"
    "\t<key>Path</key>\n\t<string>/tmp/a &amp; b</string>\n"
    "\t<key>When</key>\n\t<date>2020-05-17T08:30:00Z</date>\n"
    "\t<key>Blob</key>\n\t<data>AAH/</data>\n"
    "\t<key>Huge</key>\n\t<integer>18446744073709551615</integer>\n"
    "\t<key>U</key>\n\t<uid>5</uid>\n"
    "\t<key>List</key>\n\t<array><integer>1</integer><dict><key>x</key><false/></dict></array>\n"
    "</dict>\n</plist>\n";

QByteArray binary()
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "IconSize", plist_new_uint(256));
    plist_dict_set_item(root, "Negative", plist_new_uint(uint64_t(-5)));
    plist_dict_set_item(root, "Flag", plist_new_bool(1));
    plist_dict_set_item(root, "Red", plist_new_real(0.25));
    plist_dict_set_item(root, "Path", plist_new_string("/tmp/\xc3\xa9"));
    plist_dict_set_item(root, "When", plist_new_date(611397000, 500000));
    plist_dict_set_item(root, "Blob", plist_new_data("\x00\x01\xff", 3));
    plist_dict_set_item(root, "Uid", plist_new_uid(300));
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("two"));
    plist_t inner = plist_new_dict();
    plist_dict_set_item(inner, "u", plist_new_uid(7));
    plist_array_append_item(list, inner);
    plist_dict_set_item(root, "List", list);
    return pictomat::test::BinaryPlistFrom(root);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace pictomat::test;
    return WriteSeeds(argc, argv,
                      {{"xml.plist", kXml},
                       {"binary.plist", binary()},
                       {"nested.plist", NestedArraysPlist(100000)},
                       {"nested-512.plist", NestedArraysPlist(510)},
                       {"doubling.plist", DoublingArraysPlist(40)},
                       {"cycle.plist", SelfHoldingArrayPlist()}});
}
