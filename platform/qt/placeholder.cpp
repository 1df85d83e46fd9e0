void brismare_placeholder_platform_qt() {}
