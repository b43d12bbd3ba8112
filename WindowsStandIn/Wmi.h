// WMI stand-in in a small idiom of our own: a locator, services of one namespace, a
// forward-only enumerator of query results and objects whose properties read as QVariant
// (a null QVariant for a null property). Each object is released with Release().
//
// Classes served: ROOT\CIMV2 Win32_BIOS (SerialNumber, from "bios.serialNumber") and
// Win32_ComputerSystemProduct (Name, Version from "bios.model", "bios.productVersion");
// ROOT\WMI WmiMonitorConnectionParams (InstanceName, VideoOutputTechnology) for every present
// display. "wmi.<Class>" (an array of objects) replaces a class's instances.
// Injectable failures: "CoCreateInstance" (the locator), "IWbemLocator::ConnectServer",
// "CoSetProxyBlanket", "IWbemServices::ExecQuery", "IEnumWbemClassObject::Next".
#pragma once

#include "WindowsStandIn/Com.h"

#include <QVariant>

constexpr HRESULT WBEM_S_NO_ERROR = 0;
constexpr HRESULT WBEM_S_FALSE = 1;
constexpr HRESULT WBEM_E_FAILED = HRESULT(0x80041001u);
constexpr HRESULT WBEM_E_NOT_FOUND = HRESULT(0x80041002u);
constexpr HRESULT WBEM_E_INVALID_NAMESPACE = HRESULT(0x8004100Eu);
constexpr HRESULT WBEM_E_INVALID_CLASS = HRESULT(0x80041010u);
constexpr HRESULT WBEM_E_INVALID_QUERY = HRESULT(0x80041017u);
constexpr LONG WBEM_FLAG_RETURN_IMMEDIATELY = 0x10;
constexpr LONG WBEM_FLAG_FORWARD_ONLY = 0x20;
constexpr LONG WBEM_INFINITE = -1;

class IWbemClassObject {
public:
    // WBEM_E_NOT_FOUND for a property the class does not have.
    virtual HRESULT Get(LPCWSTR name, QVariant* value) = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IWbemClassObject() = default;
};

class IEnumWbemClassObject {
public:
    // Up to `count` objects; WBEM_S_FALSE with *returned < count at the end.
    virtual HRESULT Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IEnumWbemClassObject() = default;
};

class IWbemServices {
public:
    // WQL "SELECT <properties> FROM <Class>".
    virtual HRESULT ExecQuery(LPCWSTR language, LPCWSTR query, LONG flags, IEnumWbemClassObject** result) = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IWbemServices() = default;
};

class IWbemLocator {
public:
    virtual HRESULT ConnectServer(LPCWSTR networkResource, LPCWSTR user, LPCWSTR password, LPCWSTR locale,
                                  LONG securityFlags, LPCWSTR authority, LPVOID context,
                                  IWbemServices** services) = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IWbemLocator() = default;
};

// CoCreateInstance(CLSID_WbemLocator, ..., CLSCTX_INPROC_SERVER, IID_IWbemLocator, ...).
HRESULT CreateWbemLocator(IWbemLocator** locator);
HRESULT CoSetProxyBlanket(IWbemServices* proxy, DWORD authnService, DWORD authzService, LPWSTR principal,
                          DWORD authnLevel, DWORD impLevel, LPVOID authInfo, DWORD capabilities);
