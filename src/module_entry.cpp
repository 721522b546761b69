// The loadable module's own translation unit; the package and its exported entry points come from the
// whole kdp archive linked into it.
