#include "server_library.h"

#include <gtest/gtest.h>

namespace {

class ComServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Server().module, nullptr);
        ASSERT_EQ(Server().DllGetClassObject(CLSID_VornLANNetwork, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory)),
                  S_OK);
    }
    void TearDown() override {
        if (factory != nullptr) {
            factory->Release();
        }
    }

    IVornLANNetwork* NewNetwork() {
        IVornLANNetwork* network = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IVornLANNetwork,
                                          reinterpret_cast<void**>(&network)),
                  S_OK);
        return network;
    }

    IClassFactory* factory = nullptr;
};

TEST_F(ComServer, UnknownAndNetworkInterfaceAreTheSamePointer) {
    IVornLANNetwork* network = NewNetwork();
    ASSERT_NE(network, nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(network->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(network));
    IVornLANNetwork* again = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IVornLANNetwork, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, network);
    again->Release();
    unknown->Release();
    network->Release();
}

TEST_F(ComServer, MarshalComesFromTheFreeThreadedMarshaler) {
    IVornLANNetwork* network = NewNetwork();
    IMarshal* marshal = nullptr;
    ASSERT_EQ(network->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
    EXPECT_NE(static_cast<void*>(marshal), static_cast<void*>(network));
    CLSID unmarshaler{};
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IVornLANNetwork, network, MSHCTX_INPROC, nullptr,
                                         MSHLFLAGS_NORMAL, &unmarshaler),
              S_OK);
    EXPECT_EQ(unmarshaler, CLSID_InProcFreeMarshaler);
    // Its IUnknown is the object's.
    IUnknown* unknown = nullptr;
    ASSERT_EQ(marshal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(network));
    unknown->Release();
    marshal->Release();
    network->Release();
}

TEST_F(ComServer, ErrorInfoIsSupportedForTheNetworkInterfaceOnly) {
    IVornLANNetwork* network = NewNetwork();
    ISupportErrorInfo* errorInfo = nullptr;
    ASSERT_EQ(network->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errorInfo)),
              S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IVornLANNetwork), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IVornPoolNetwork), S_FALSE);
    errorInfo->Release();
    network->Release();
}

TEST_F(ComServer, OtherInterfacesAreRefused) {
    IVornLANNetwork* network = NewNetwork();
    void* other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(network->QueryInterface(IID_IVornPoolNetwork, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(network->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(network->QueryInterface(IID_IStream, &other), E_NOINTERFACE);
    network->Release();
}

TEST_F(ComServer, ClassObjectOnlyForTheLanNetwork) {
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(Server().DllGetClassObject(CLSID_VornPoolNetwork, IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    IClassFactory* again = nullptr;
    ASSERT_EQ(Server().DllGetClassObject(CLSID_VornLANNetwork, IID_IClassFactory,
                                         reinterpret_cast<void**>(&again)),
              S_OK);
    EXPECT_EQ(again, factory); // created once, then reused
    again->Release();
}

TEST_F(ComServer, CreationChecksItsArguments) {
    IVornLANNetwork* network = NewNetwork();
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(network, IID_IVornLANNetwork, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IVornLANNetwork, nullptr), E_POINTER);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IStream, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    network->Release();
}

// An outer object that aggregates the network object and counts its own references.
struct Outer final : IUnknown {
    IUnknown* inner = nullptr;
    LONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
};

TEST_F(ComServer, AggregatedObjectDelegatesToItsOuterObject) {
    Outer outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    IVornLANNetwork* network = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IVornLANNetwork, reinterpret_cast<void**>(&network)), S_OK);
    EXPECT_EQ(outer.refs, 2);
    IUnknown* identity = nullptr;
    ASSERT_EQ(network->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    network->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(Server().DllCanUnloadNow(), S_FALSE);
    outer.inner->Release();
    EXPECT_EQ(Server().DllCanUnloadNow(), S_OK);
}

TEST_F(ComServer, CanUnloadFollowsObjectsAndLocks) {
    EXPECT_EQ(Server().DllCanUnloadNow(), S_OK);
    IVornLANNetwork* first = NewNetwork();
    IVornLANNetwork* second = NewNetwork();
    EXPECT_EQ(Server().DllCanUnloadNow(), S_FALSE);
    first->Release();
    EXPECT_EQ(Server().DllCanUnloadNow(), S_FALSE);
    second->Release();
    EXPECT_EQ(Server().DllCanUnloadNow(), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(Server().DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(Server().DllCanUnloadNow(), S_OK);
}

TEST_F(ComServer, AddressAndReceiveSucceedWithoutASession) {
    IVornLANNetwork* network = NewNetwork();
    char address[] = "127.0.0.1";
    EXPECT_EQ(network->SetAddress(reinterpret_cast<LPWSTR>(address)), S_OK);
    EXPECT_EQ(network->SetAddress(nullptr), S_OK);
    UINT cmd = 77;
    INT size = 5;
    BYTE data[4] = {1, 2, 3, 4};
    EXPECT_EQ(network->Receive(1, 2, &cmd, data, &size), S_OK);
    EXPECT_EQ(cmd, 77u);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(network->SetVoiceChatHandler(0), S_OK);
    network->Release();
}

TEST(ComModule, NetworkMessageIsRegisteredAtLoadAndStringResourceIsPresent) {
    ASSERT_NE(Server().module, nullptr);
    char text[64];
    EXPECT_EQ(LoadStringA(Server().module, 100, text, sizeof text), 11);
    EXPECT_STREQ(text, "VornNetwork");
    const UINT message = RegisterWindowMessageA("Ballix network message");
    EXPECT_GE(message, 0xC000u);
}

TEST(ComModule, VersionResourceMarksTheLibrarySelfRegistering) {
    HRSRC info = FindResourceA(Server().module, MAKEINTRESOURCEA(1), RT_VERSION);
    ASSERT_NE(info, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Server().module, info)));
    const std::u16string key = u"OLESelfRegister";
    const std::string bytes(reinterpret_cast<const char*>(data),
                            SizeofResource(Server().module, info));
    const std::string wanted(reinterpret_cast<const char*>(key.data()), key.size() * 2);
    EXPECT_NE(bytes.find(wanted), std::string::npos);
}

} // namespace
