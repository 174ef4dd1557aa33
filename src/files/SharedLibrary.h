#pragma once

#include "files/LibraryNames.h"

#include <memory>
#include <string>
#include <type_traits>

namespace pictomat {

// Libraries that only some commands need are opened when first needed
// rather than linked: linked, each would be loaded with the libraries behind
// it at every start of the tray and of every command. A library is opened
// once per process, by the soname this build compiled against
// (files/LibraryNames.h), and stays loaded until the process ends, so that
// the function pointers taken from it stay good. What cannot be opened, or
// lacks a function, is logged once and gives null: the command that needed
// it then fails with its own message.

// The library's handle; null when it cannot be opened.
void* OpenLibrary(const char* soname);
// A module of ours (PICTOMAT_MODULE_*), from PICTOMAT_MODULE_DIR beside the
// program's bin folder; null when it cannot be opened.
void* OpenModule(const char* file);
// A function of an open library; null when it has none.
void* LibraryFunction(void* library, const char* function);
// Logs the functions (", "-separated) a library lacks.
void LogMissingFunctions(const char* libraryName, const std::string& functions);
// From now on this process and those it forks share which libraries have
// been complained of, so that a library missing is logged once among them
// all, whichever first tries it (the reading worker and its children).
void ShareLibraryComplaints();

// A library's table: a struct holding a pointer, typed as the library's
// header declares it, for each name of an X-macro list, and their lookup.
//   #define PICTOMAT_TIFF_FUNCTIONS(X) X(TIFFClientOpen) X(TIFFClose)
//   struct TiffLibrary { PICTOMAT_LIBRARY_TABLE(PICTOMAT_TIFF_FUNCTIONS) };
//   const TiffLibrary* tiff = LoadLibrary<TiffLibrary>(PICTOMAT_LIBRARY_TIFF);
// Every function is looked up, and those missing are logged together.
#define PICTOMAT_LIBRARY_POINTER(name) decltype(&::name) name = nullptr;
#define PICTOMAT_LIBRARY_RESOLVE(name) complete = resolve(name, #name) && complete;
#define PICTOMAT_LIBRARY_TABLE(FUNCTIONS)                                                                              \
    FUNCTIONS(PICTOMAT_LIBRARY_POINTER)                                                                                \
    template <typename Resolve>                                                                                        \
    bool resolveAll(Resolve&& resolve)                                                                                 \
    {                                                                                                                  \
        bool complete = true;                                                                                          \
        FUNCTIONS(PICTOMAT_LIBRARY_RESOLVE)                                                                            \
        return complete;                                                                                               \
    }

// The table of an open library, or null when the library is not open or
// lacks any of its functions.
template <typename Table>
std::unique_ptr<const Table> ResolveLibraryTable(void* library, const char* libraryName)
{
    if (!library)
        return nullptr;
    auto table = std::make_unique<Table>();
    std::string missing;
    const bool complete = table->resolveAll([&](auto& pointer, const char* function) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(LibraryFunction(library, function));
        if (!pointer)
            missing += (missing.empty() ? "" : ", ") + std::string(function);
        return pointer != nullptr;
    });
    if (complete)
        return table;
    LogMissingFunctions(libraryName, missing);
    return nullptr;
}

// The table of a library, looked up at the first call and kept for the
// process (each table is of one library: later calls return the first
// answer, a failed one included); null when the library cannot be opened
// or lacks a function. Any thread may ask.
template <typename Table>
const Table* LoadLibrary(const char* soname)
{
    static const std::unique_ptr<const Table> table = ResolveLibraryTable<Table>(OpenLibrary(soname), soname);
    return table.get();
}

// The same for a module of ours.
template <typename Table>
const Table* LoadModule(const char* file)
{
    static const std::unique_ptr<const Table> table = ResolveLibraryTable<Table>(OpenModule(file), file);
    return table.get();
}

} // namespace pictomat
