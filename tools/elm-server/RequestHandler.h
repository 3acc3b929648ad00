#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace elmserver {

class PdmStore;

/// Codes of the "Error" elements the server answers. The client shows codes
/// of 1000 and more with the server's own text where its catalogs have none.
enum class ErrorCode : int {
  NotXml = 1000,             ///< the body does not parse as XML
  NotARequest = 1001,        ///< the root is not "ELM" or it holds no "Request"
  NoFunctionName = 1002,     ///< "Request" without a "name"
  UnknownFunction = 1003,    ///< no server function of that name
  MissingAttribute = 1004,   ///< a required request attribute is absent
  EmptyAttribute = 1005,     ///< a required request attribute is empty
  InvalidValue = 1006,       ///< an attribute value outside what the function accepts
  UnknownStructure = 1007,   ///< no named structure of that name for the context
  BodyTooLarge = 1008,       ///< the body exceeds the server's limit
  StoreFailure = 1009,       ///< the database refused the change; nothing was recorded
  NoSuchEndpoint = 1010,     ///< wrong path or HTTP method
};

/// One answer and what the request log says about it.
struct Answer {
  std::string body;         ///< the XML text sent back
  std::string requestName;  ///< "-" when the body named none
  std::string requestId;    ///< "-" when the body carried none
  std::vector<int> errorCodes;
};

/// Turns request bodies into answer bodies. Stateless apart from the store,
/// so one instance serves all connections at once.
class RequestHandler {
public:
  explicit RequestHandler(PdmStore& store) : m_store(store) {}

  Answer Handle(std::string_view body) const;

  /// An answer holding only root-level errors, for requests that never
  /// reached a server function (unparsable, too large, wrong path).
  static Answer ErrorAnswer(ErrorCode code, const std::string& text);

private:
  PdmStore& m_store;
};

}  // namespace elmserver
