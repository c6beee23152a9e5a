// Our MEX and mx functions: real double matrices and strings, call-scoped
// memory, errors that unwind to the host's call boundary, and error dialogs
// recorded instead of shown in a window.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "contract/mex.h"
#include "host/mex_call_scope.h"

#define ORVANE_EXPORT extern "C" __attribute__((visibility("default")))

struct mxArray_tag {
    bool isString = false;
    size_t rows = 0;
    size_t columns = 0;
    std::vector<double> real;
    std::string text;
};

namespace {

struct Arena {
    std::vector<void*> blocks;
    std::vector<mxArray*> arrays;

    void release() {
        for (void* p : blocks) std::free(p);
        for (mxArray* a : arrays) delete a;
        blocks.clear();
        arrays.clear();
    }
    ~Arena() { release(); }
};

Arena& processArena() {
    static Arena arena;
    return arena;
}

// Memory made outside any call scope belongs to the process and may be
// made in one thread and released in another, so its lists are guarded.
std::mutex& processArenaLock() {
    static std::mutex lock;
    return lock;
}

// Arenas of the open call scopes, innermost last. Closed scopes' arenas stay
// in the pool, emptied, so that a host call per sample allocates nothing
// once the pool and its lists have grown. A call's memory belongs to the
// call, so each thread has its own pool: blocks driven from several threads
// at once never share a scope.
struct ArenaPool {
    std::vector<std::unique_ptr<Arena>> arenas;
    std::size_t open = 0;
};

ArenaPool& arenaPool() {
    thread_local ArenaPool pool;
    return pool;
}

// Runs add(arena) on the innermost open scope's arena, or on the process's
// under its lock when no scope is open.
template <typename Add>
void addToCurrentArena(Add add) {
    ArenaPool& pool = arenaPool();
    if (pool.open != 0) {
        add(*pool.arenas[pool.open - 1]);
        return;
    }
    std::lock_guard<std::mutex> guard(processArenaLock());
    add(processArena());
}

// Every arena that owns memory now: the open scopes' and the process's.
template <typename Visit>
bool forEachOwningArena(Visit visit) {
    ArenaPool& pool = arenaPool();
    for (std::size_t i = 0; i < pool.open; ++i) {
        if (visit(*pool.arenas[i])) return true;
    }
    std::lock_guard<std::mutex> guard(processArenaLock());
    return visit(processArena());
}

// A dialog is read back by the thread whose call raised it.
std::vector<ErrorDialog>& dialogs() {
    thread_local std::vector<ErrorDialog> recorded;
    return recorded;
}

bool gDialogEcho = true;

std::string textOf(const mxArray* a) {
    if (a == nullptr) return {};
    return a->isString ? a->text : std::string();
}

}  // namespace

MexCallScope::MexCallScope() {
    ArenaPool& pool = arenaPool();
    if (pool.open == pool.arenas.size()) pool.arenas.push_back(std::make_unique<Arena>());
    ++pool.open;
}

MexCallScope::~MexCallScope() {
    ArenaPool& pool = arenaPool();
    pool.arenas[pool.open - 1]->release();
    --pool.open;
}

const std::vector<ErrorDialog>& recordedDialogs() { return dialogs(); }
void clearRecordedDialogs() { dialogs().clear(); }
void setDialogEcho(bool on) { gDialogEcho = on; }

ORVANE_EXPORT double* mxGetPr(const mxArray* a) {
    if (a == nullptr || a->isString || a->real.empty()) return nullptr;
    return const_cast<double*>(a->real.data());
}

// The first element converted to double, whatever the array's class; 0 for
// an empty array.
ORVANE_EXPORT double mxGetScalar(const mxArray* a) {
    if (a == nullptr) return 0.0;
    if (a->isString) return a->text.empty() ? 0.0 : static_cast<double>(static_cast<unsigned char>(a->text[0]));
    return a->real.empty() ? 0.0 : a->real[0];
}

ORVANE_EXPORT bool mxIsDouble(const mxArray* a) { return a != nullptr && !a->isString; }

ORVANE_EXPORT size_t mxGetM(const mxArray* a) { return a == nullptr ? 0 : a->rows; }
ORVANE_EXPORT size_t mxGetN(const mxArray* a) { return a == nullptr ? 0 : a->columns; }
ORVANE_EXPORT bool mxIsComplex(const mxArray* a) { (void)a; return false; }
ORVANE_EXPORT bool mxIsNumeric(const mxArray* a) { return a != nullptr && !a->isString; }

ORVANE_EXPORT mxArray* mxCreateDoubleMatrix_700(size_t m, size_t n, mxComplexity complexity) {
    (void)complexity;
    auto* a = new mxArray();
    a->rows = m;
    a->columns = n;
    a->real.assign(m * n, 0.0);
    addToCurrentArena([a](Arena& arena) { arena.arrays.push_back(a); });
    return a;
}

ORVANE_EXPORT mxArray* mxCreateString(const char* text) {
    auto* a = new mxArray();
    a->isString = true;
    a->text = text == nullptr ? "" : text;
    a->rows = a->text.empty() ? 0 : 1;
    a->columns = a->text.size();
    addToCurrentArena([a](Arena& arena) { arena.arrays.push_back(a); });
    return a;
}

ORVANE_EXPORT void* mxCalloc(size_t count, size_t size) {
    void* p = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
    if (p != nullptr) addToCurrentArena([p](Arena& arena) { arena.blocks.push_back(p); });
    return p;
}

ORVANE_EXPORT void mxFree(void* p) {
    if (p == nullptr) return;
    forEachOwningArena([p](Arena& arena) {
        for (void*& block : arena.blocks) {
            if (block == p) {
                std::free(p);
                block = nullptr;
                return true;
            }
        }
        return false;
    });
}

ORVANE_EXPORT void mxDestroyArray(mxArray* a) {
    if (a == nullptr) return;
    forEachOwningArena([a](Arena& arena) {
        for (mxArray*& owned : arena.arrays) {
            if (owned == a) {
                delete a;
                owned = nullptr;
                return true;
            }
        }
        return false;
    });
}

ORVANE_EXPORT void mexErrMsgTxt(const char* message) { throw MexError(message == nullptr ? "" : message); }

ORVANE_EXPORT int mexCallMATLAB(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* functionName) {
    (void)nlhs;
    (void)plhs;
    if (functionName == nullptr || std::strcmp(functionName, "errordlg") != 0) return 1;
    ErrorDialog dialog;
    if (nrhs > 0) dialog.text = textOf(prhs[0]);
    if (nrhs > 1) dialog.title = textOf(prhs[1]);
    if (nrhs > 2) dialog.mode = textOf(prhs[2]);
    if (gDialogEcho) std::fprintf(stderr, "%s (%s): %s\n", dialog.title.c_str(), dialog.mode.c_str(), dialog.text.c_str());
    dialogs().push_back(std::move(dialog));
    return 0;
}
