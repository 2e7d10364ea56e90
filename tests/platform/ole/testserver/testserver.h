#pragma once
// A small in-process server for the COM library's tests: a few classes that
// differ in the interfaces they answer, and a log of the calls they received.

#include <string>

#include "platform/ole/ole2.h"

// Every interface, misc status OLEMISC_ACTIVATEWHENVISIBLE.
inline constexpr CLSID CLSID_TestFull = {0x6F1E0001, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
// Wants its client site before InitNew (OLEMISC_SETCLIENTSITEFIRST).
inline constexpr CLSID CLSID_TestSiteFirst = {
    0x6F1E0002, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}};
// No IPersistStorage.
inline constexpr CLSID CLSID_TestNoPersist = {
    0x6F1E0003, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03}};
// No IViewObject2 (and no IViewObject).
inline constexpr CLSID CLSID_TestNoView = {
    0x6F1E0004, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04}};
// Its InitNew fails with E_OUTOFMEMORY.
inline constexpr CLSID CLSID_TestFailInit = {
    0x6F1E0005, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05}};
// Registered to the server but not one of its classes.
inline constexpr CLSID CLSID_TestUnknown = {
    0x6F1E00FF, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF}};

inline constexpr IID IID_ITestLog = {0x6F1E1000, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00}};

// What an object of the server was asked, one call per line ("InitNew",
// "SetClientSite", "Save", "SetContainedObject 1", ...), and how many
// objects of the server are alive.
struct ITestLog : IUnknown {
  virtual const char* Log() = 0;
  virtual int LiveObjects() = 0;
};

// The bytes IPersistStorage::Save writes into the stream "Contents".
inline constexpr char kTestSavedContents[] = "test object state";
