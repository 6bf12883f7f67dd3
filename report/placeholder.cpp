// placeholder so the library has a source until the report lands
namespace varnholt { void ReportPlaceholder() {} }
