#pragma once
// The OLE library calls a container makes: creating an embedded object,
// containing and saving it, and the in-place menu descriptor.

#include "platform/ole/oleidl.h"

// Creates an object of the class through its in-process server: asks it for
// `riid`, gives it the client site (first when it wants OLEMISC_SETCLIENTSITEFIRST),
// initialises it in the storage (IPersistStorage::InitNew, required when a
// storage is given) and runs it. OLERENDER_NONE and OLERENDER_DRAW are the
// render options the device supports; others answer E_NOTIMPL. On any failure
// the object is released and *ppvObj is null.
HRESULT OleCreate(REFCLSID rclsid, REFIID riid, DWORD renderopt, FORMATETC* pFormatEtc, IOleClientSite* pClientSite,
                  IStorage* pStg, LPVOID* ppvObj);

// Tells a running object whether it is embedded (IRunnableObject); objects
// that are not runnable need no telling and answer S_OK.
HRESULT OleSetContainedObject(IUnknown* pUnknown, BOOL fContained);

// Records the object's class in the storage, has the object save itself into
// it and commits the storage.
HRESULT OleSave(IPersistStorage* pPS, IStorage* pStg, BOOL fSameAsLoad);

// Installs (or, with a null descriptor, removes) the menu descriptor of a
// frame window for the in-place object's window.
HRESULT OleSetMenuDescriptor(HOLEMENU holemenu, HWND hwndFrame, HWND hwndActiveObject, IOleInPlaceFrame* lpFrame,
                             IOleInPlaceActiveObject* lpActiveObj);
