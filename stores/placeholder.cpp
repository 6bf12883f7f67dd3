// placeholder so the library has a source until the stores land
namespace varnholt { void StoresPlaceholder() {} }
