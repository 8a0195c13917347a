* The SALV stand-ins used the way a report with sorts, subtotals, totals, a
* saved layout, display settings and a page heading uses them, and the
* errors SALV raises for calls it refuses, caught as the modern reports
* catch them and shown with MESSAGE.
REPORT zexec_salv_standins.

TYPES: BEGIN OF ty_flight,
         carrid TYPE sflight-carrid,
         connid TYPE sflight-connid,
         price  TYPE sflight-price,
       END OF ty_flight.
DATA gt_flights TYPE STANDARD TABLE OF ty_flight WITH DEFAULT KEY.
DATA go_alv TYPE REF TO cl_salv_table.
DATA gx_error TYPE REF TO cx_salv_error.

CLASS lcl_handler DEFINITION FINAL.
  PUBLIC SECTION.
    METHODS on_top_of_page FOR EVENT top_of_page OF cl_salv_events_table
      IMPORTING r_top_of_page page.
ENDCLASS.

CLASS lcl_handler IMPLEMENTATION.
  METHOD on_top_of_page.
    DATA lo_grid TYPE REF TO cl_salv_form_layout_grid.
    CREATE OBJECT lo_grid.
    lo_grid->create_label( row = 1 column = 1 text = |Page { page }| ).
    r_top_of_page->set_content( lo_grid ).
  ENDMETHOD.
ENDCLASS.

START-OF-SELECTION.
  DATA lo_handler TYPE REF TO lcl_handler.
  SELECT carrid connid price FROM sflight INTO TABLE gt_flights UP TO 3 ROWS ORDER BY carrid connid fldate.
  TRY.
      cl_salv_table=>factory( EXPORTING list_display = abap_true
                              IMPORTING r_salv_table = go_alv
                              CHANGING t_table = gt_flights ).
      go_alv->get_sorts( )->add_sort( columnname = 'CARRID' sequence = if_salv_c_sort=>sort_down subtotal = abap_true ).
      go_alv->get_sorts( )->add_sort( columnname = 'CONNID' ).
      go_alv->get_aggregations( )->add_aggregation( columnname = 'PRICE' ).
      go_alv->get_layout( )->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).
      go_alv->get_layout( )->set_save_restriction( if_salv_c_layout=>restrict_user_dependant ).
      go_alv->get_layout( )->set_initial_layout( '/WIDE' ).
      go_alv->get_layout( )->set_default( abap_true ).
      go_alv->get_display_settings( )->set_list_header( 'Flights' ).
      go_alv->get_columns( )->get_column( 'PRICE' )->set_medium_text( 'Airfare' ).
    CATCH cx_salv_error INTO gx_error.
      WRITE / |UNEXPECTED: { gx_error->get_text( ) }|.
  ENDTRY.

  " Each call SALV refuses raises its exception.
  TRY.
      go_alv->get_columns( )->get_column( 'carrid' ).
    CATCH cx_salv_not_found INTO gx_error.
      WRITE / |NOT FOUND: { gx_error->get_text( ) }|.
  ENDTRY.
  TRY.
      go_alv->get_columns( )->get_column( 'FLDATE' ).
    CATCH cx_salv_not_found INTO gx_error.
      WRITE / |NOT FOUND: { gx_error->get_text( ) }|.
  ENDTRY.
  TRY.
      go_alv->get_sorts( )->add_sort( columnname = 'CARRID' ).
    CATCH cx_salv_existing INTO gx_error.
      WRITE / |EXISTING: { gx_error->get_text( ) }|.
  ENDTRY.
  TRY.
      go_alv->get_aggregations( )->add_aggregation( columnname = 'CONNID' ).
    CATCH cx_salv_data_error INTO gx_error.
      WRITE / |DATA ERROR: { gx_error->get_text( ) }|.
  ENDTRY.
  TRY.
      go_alv->get_aggregations( )->add_aggregation( columnname = 'SEATSMAX' ).
    CATCH cx_salv_not_found INTO gx_error.
      MESSAGE gx_error TYPE 'I' DISPLAY LIKE 'E'.
  ENDTRY.

  CREATE OBJECT lo_handler.
  SET HANDLER lo_handler->on_top_of_page FOR go_alv->get_event( ).
  go_alv->display( ).
