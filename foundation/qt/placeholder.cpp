void brismare_placeholder_qt() {}
